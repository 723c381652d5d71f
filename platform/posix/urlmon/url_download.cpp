// URLDownloadToFileA over the URL transfer library.
#include <cctype>
#include <mutex>
#include <string>

#include "base/ascii.h"
#include "base/result_codes.h"
#include "platform/download_limits.h"
#include "platform/posix/kernel/paths.h"
#include "platform/posix/kernel/replacement_file.h"
#include "platform/posix/urlmon/curl_library.h"
#include "platform/posix/urlmon/download_limits.h"
#include "platform/posix/urlmon/download_result.h"
#include "platform/posix/urlmon/transfer_watch.h"
#include "platform/posix/win32.h"

namespace vrk_posix {

namespace {

// Tests of the whole tool shorten the stall limit through the environment.
DownloadLimits InitialLimits() {
  DownloadLimits initial;
  initial.stalled = vrk::DownloadStallLimit();
  return initial;
}

std::mutex limitsMutex;
DownloadLimits limits = InitialLimits();

// What the Windows service fetches; anything else (telnet reading the terminal, say)
// has no place in a file download.
constexpr const char* kProtocols = "http,https,ftp,ftps,file";

bool KnownScheme(const std::string& scheme) {
  for (const char* known : {"http", "https", "ftp", "ftps", "file"}) {
    if (vrk::ascii::EqualIgnoringCase(scheme, known)) return true;
  }
  return false;
}

// The URL with a scheme: one typed without is tried as http, as the Windows service does.
// Empty with `result` set when the URL is refused before any transfer.
std::string UrlToFetch(const std::string& typed, HRESULT& result) {
  const std::size_t separator = typed.find("://");
  if (separator == std::string::npos) return "http://" + typed;
  const std::string scheme = typed.substr(0, separator);
  bool wellFormed = !scheme.empty() && std::isalpha(static_cast<unsigned char>(scheme[0]));
  for (const char c : scheme) {
    wellFormed = wellFormed && (std::isalnum(static_cast<unsigned char>(c)) || c == '+' ||
                                c == '-' || c == '.');
  }
  if (!wellFormed) {
    result = INET_E_INVALID_URL;
    return {};
  }
  if (!KnownScheme(scheme)) {
    result = INET_E_UNKNOWN_PROTOCOL;
    return {};
  }
  return typed;
}

struct BodySink {
  ReplacementFile& file;
  TransferWatch& watch;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* context) {
  auto* sink = static_cast<BodySink*>(context);
  sink->watch.Received();
  // Anything short of the whole count makes the library stop with CURLE_WRITE_ERROR.
  return sink->file.Write(data, size * count) ? size * count : 0;
}

HRESULT Transfer(const CurlLibrary& curl, const std::string& url, ReplacementFile& file) {
  CURL* handle = curl.easyInit();
  if (handle == nullptr) return E_OUTOFMEMORY;
  const DownloadLimits current = CurrentDownloadLimits();
  TransferWatch watch(current.stalled);
  BodySink sink{file, watch};

  curl.easySetopt(handle, CURLOPT_URL, url.c_str());
  curl.easySetopt(handle, CURLOPT_PROTOCOLS_STR, kProtocols);
  curl.easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl.easySetopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl.easySetopt(handle, CURLOPT_MAXREDIRS, 20L);
  // Stop at the status line of an error answer: its page never reaches the file.
  curl.easySetopt(handle, CURLOPT_FAILONERROR, 1L);
  curl.easySetopt(handle, CURLOPT_ACCEPT_ENCODING, "");
  curl.easySetopt(handle, CURLOPT_USERAGENT, "VRK/1.1");
  curl.easySetopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(current.connect.count()));
  curl.easySetopt(handle, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl.easySetopt(handle, CURLOPT_WRITEDATA, &sink);
  watch.Attach(curl, handle);

  const CURLcode code = watch.Perform(curl, handle);
  long httpStatus = 0;
  long tunnelStatus = 0;
  curl.easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &httpStatus);
  curl.easyGetinfo(handle, CURLINFO_HTTP_CONNECTCODE, &tunnelStatus);
  curl.easyCleanup(handle);

  if (code == CURLE_WRITE_ERROR && file.Error() != 0) return FileErrorResult(file.Error());
  if (watch.Stalled()) return INET_E_CONNECTION_TIMEOUT;
  if (code == CURLE_COULDNT_CONNECT && watch.SocketError() != 0) {
    return FileErrorResult(watch.SocketError());
  }
  // The library takes a head that the close cut after its status line for one without a body.
  if (code == CURLE_OK && watch.HeadUnfinished()) return INET_E_DOWNLOAD_FAILURE;
  return DownloadResult(code, httpStatus, tunnelStatus);
}

}  // namespace

void SetDownloadLimits(const DownloadLimits& newLimits) {
  std::lock_guard lock(limitsMutex);
  limits = newLimits;
}

DownloadLimits CurrentDownloadLimits() {
  std::lock_guard lock(limitsMutex);
  return limits;
}

}  // namespace vrk_posix

HRESULT URLDownloadToFileA(LPUNKNOWN, LPCSTR url, LPCSTR fileName, DWORD,
                           LPBINDSTATUSCALLBACK) {
  if (url == nullptr || fileName == nullptr || *fileName == '\0') return E_INVALIDARG;
  HRESULT refused = S_OK;
  const std::string fetch = vrk_posix::UrlToFetch(url, refused);
  if (FAILED(refused)) return refused;
  const vrk_posix::CurlLibrary* curl = vrk_posix::Curl();
  // As Windows answers when its transfer library is missing, or the limit that stopped it.
  if (curl == nullptr) return vrk::result_codes::FromWin32Error(vrk_posix::CurlLoadFailure());

  vrk_posix::ReplacementFile file(vrk_posix::PosixPath(fileName));
  if (!file.IsOpen()) return vrk_posix::FileErrorResult(file.Error());
  const HRESULT result = vrk_posix::Transfer(*curl, fetch, file);
  if (FAILED(result)) return result;
  // A body that arrived whole but cannot be put in place is still a failure.
  if (!file.Commit()) return vrk_posix::FileErrorResult(file.Error());
  return S_OK;
}
