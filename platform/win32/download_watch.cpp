#include "platform/win32/download_watch.h"

#include <cwctype>
#include <string_view>

#include "base/result_codes.h"

namespace vrk {

namespace {

// The value of the named header in a "Name: value\r\n" block, name compared without case.
std::optional<std::wstring_view> HeaderValue(std::wstring_view headers, std::wstring_view name) {
  while (!headers.empty()) {
    const std::size_t end = headers.find(L'\n');
    std::wstring_view line = headers.substr(0, end);
    headers = end == std::wstring_view::npos ? std::wstring_view() : headers.substr(end + 1);
    const std::size_t colon = line.find(L':');
    if (colon != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      same = std::towlower(line[i]) == std::towlower(name[i]);
    }
    if (!same) continue;
    std::wstring_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == L' ' || value.front() == L'\t')) value.remove_prefix(1);
    while (!value.empty() && value.back() <= L' ') value.remove_suffix(1);
    return value;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> DecimalValue(std::wstring_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - L'0');
  }
  return value;
}

}  // namespace

HRESULT DownloadWatch::Verdict(HRESULT serviceResult, const char* savedFile) const {
  if (tooManyRedirections_) return INET_E_REDIRECT_FAILED;
  if (FAILED(serviceResult)) return watchdog_.Fired() ? INET_E_CONNECTION_TIMEOUT : serviceResult;
  if (const HRESULT byStatus = result_codes::FromHttpStatus(static_cast<long>(status_)); FAILED(byStatus)) return byStatus;
  if (!promisedLength_) return S_OK;
  WIN32_FILE_ATTRIBUTE_DATA saved{};
  if (!GetFileAttributesExA(savedFile, GetFileExInfoStandard, &saved)) return INET_E_DOWNLOAD_FAILURE;
  const std::uint64_t size =
      (static_cast<std::uint64_t>(saved.nFileSizeHigh) << 32) | saved.nFileSizeLow;
  return size == *promisedLength_ ? S_OK : INET_E_DOWNLOAD_FAILURE;
}

HRESULT DownloadWatch::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
    *object = static_cast<IBindStatusCallback*>(this);
  } else if (IsEqualIID(riid, IID_IHttpNegotiate)) {
    *object = static_cast<IHttpNegotiate*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG DownloadWatch::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
ULONG DownloadWatch::Release() { return static_cast<ULONG>(InterlockedDecrement(&references_)); }

// Every call from the service is a sign of progress for the watchdog.
HRESULT DownloadWatch::OnStartBinding(DWORD, IBinding* binding) {
  watchdog_.Watch(binding);
  return S_OK;
}
HRESULT DownloadWatch::GetPriority(LONG*) {
  watchdog_.Progress();
  return E_NOTIMPL;
}
HRESULT DownloadWatch::OnLowResource(DWORD) {
  watchdog_.Progress();
  return S_OK;
}

HRESULT DownloadWatch::OnProgress(ULONG, ULONG, ULONG statusCode, LPCWSTR) {
  watchdog_.Progress();
  if (statusCode == BINDSTATUS_REDIRECTING) ++redirections_;
  if (statusCode == BINDSTATUS_SENDINGREQUEST) ++requestsSent_;
  // Each request after the first follows a redirection.
  if (redirections_ > kMaxRedirections || requestsSent_ - 1 > kMaxRedirections) {
    tooManyRedirections_ = true;
    return E_ABORT;
  }
  return S_OK;
}

HRESULT DownloadWatch::OnStopBinding(HRESULT, LPCWSTR) {
  watchdog_.Watch(nullptr);
  return S_OK;
}
// The service's own binding flags stay as they are.
HRESULT DownloadWatch::GetBindInfo(DWORD*, BINDINFO*) {
  watchdog_.Progress();
  return S_OK;
}
HRESULT DownloadWatch::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) {
  watchdog_.Progress();
  return S_OK;
}
HRESULT DownloadWatch::OnObjectAvailable(REFIID, IUnknown*) {
  watchdog_.Progress();
  return S_OK;
}

HRESULT DownloadWatch::BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additionalHeaders) {
  watchdog_.Progress();
  if (additionalHeaders != nullptr) *additionalHeaders = nullptr;
  return S_OK;
}

HRESULT DownloadWatch::OnResponse(DWORD status, LPCWSTR responseHeaders, LPCWSTR,
                                  LPWSTR* additionalRequestHeaders) {
  watchdog_.Progress();
  if (additionalRequestHeaders != nullptr) *additionalRequestHeaders = nullptr;
  status_ = status;
  promisedLength_.reset();
  if (responseHeaders != nullptr) {
    const std::wstring_view headers(responseHeaders);
    // A decoded body is longer than the length the server gave for the encoded one.
    if (!HeaderValue(headers, L"Content-Encoding")) {
      if (const auto length = HeaderValue(headers, L"Content-Length")) {
        promisedLength_ = DecimalValue(*length);
      }
    }
  }
  return S_OK;
}

}  // namespace vrk

