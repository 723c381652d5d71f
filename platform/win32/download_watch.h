// What the Windows URL download service tells about one transfer: the HTTP status and the
// length the server promised. The service itself reports success for an error page and
// for a body cut short, so the verdict is taken from here. The watch also bounds the
// transfer, which the service does not: it ends it after too many redirections or too long
// without progress.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "platform/win32/binding_watchdog.h"
#include "platform/winapi.h"

namespace vrk {

// Lives on the caller's stack for one URLDownloadToFileA call; the reference count is kept
// for the service's sake only.
class DownloadWatch final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  // More redirections than this end the transfer, as on Linux.
  static constexpr int kMaxRedirections = 20;

  // A transfer that goes `stallLimit` without any call from the service is aborted.
  explicit DownloadWatch(std::chrono::milliseconds stallLimit) : watchdog_(stallLimit) {}
  DownloadWatch(const DownloadWatch&) = delete;
  DownloadWatch& operator=(const DownloadWatch&) = delete;

  // The outcome of the transfer that the service ended with `serviceResult`: S_OK when the
  // response was not an error and the file holds the whole promised body, otherwise the
  // failure code of the same kind as the POSIX service gives.
  HRESULT Verdict(HRESULT serviceResult, const char* savedFile) const;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IBindStatusCallback
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override;
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override;
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR error) override;
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format,
                                            STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID riid, IUnknown* object) override;

  // IHttpNegotiate
  HRESULT STDMETHODCALLTYPE BeginningTransaction(LPCWSTR url, LPCWSTR headers, DWORD reserved,
                                                 LPWSTR* additionalHeaders) override;
  HRESULT STDMETHODCALLTYPE OnResponse(DWORD status, LPCWSTR responseHeaders,
                                       LPCWSTR requestHeaders,
                                       LPWSTR* additionalRequestHeaders) override;

 private:
  LONG references_ = 1;
  DWORD status_ = 0;
  // Windows tells of each redirection; Wine tells of none, but of every request it sends.
  int redirections_ = 0;
  int requestsSent_ = 0;
  bool tooManyRedirections_ = false;
  BindingWatchdog watchdog_;
  // Set only when the body travels unencoded, so that it can be compared with the file.
  std::optional<std::uint64_t> promisedLength_;
};

}  // namespace vrk

