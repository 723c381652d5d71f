#include "platform/posix/urlmon/download_result.h"

#include "base/result_codes.h"
#include "platform/posix/kernel/errno_map.h"

namespace vrk_posix {

HRESULT HttpStatusResult(long status) {
  // Only failures come here: a status below 400 is still a failure of the download.
  const HRESULT result = vrk::result_codes::FromHttpStatus(status);
  return result != S_OK ? result : INET_E_DOWNLOAD_FAILURE;
}

HRESULT FileErrorResult(int error) {
  return vrk::result_codes::FromWin32Error(Win32ErrorFromErrno(error));
}

HRESULT DownloadResult(CURLcode code, long httpStatus, long tunnelStatus) {
  if (tunnelStatus >= 400) return HttpStatusResult(tunnelStatus);
  if (code == CURLE_HTTP_RETURNED_ERROR || (code == CURLE_OK && httpStatus >= 400)) {
    return HttpStatusResult(httpStatus);
  }
  switch (code) {
    case CURLE_OK:
      return S_OK;
    case CURLE_URL_MALFORMAT:
      return INET_E_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL:
      // The scheme was checked before; this is a server answering in a way not understood.
      return INET_E_DOWNLOAD_FAILURE;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_FILE_COULDNT_READ_FILE:
      return INET_E_RESOURCE_NOT_FOUND;
    case CURLE_COULDNT_CONNECT:
    case CURLE_PROXY:
      return INET_E_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
      return INET_E_CONNECTION_TIMEOUT;
    case CURLE_TOO_MANY_REDIRECTS:
      return INET_E_REDIRECT_FAILED;
    case CURLE_LOGIN_DENIED:
    case CURLE_REMOTE_ACCESS_DENIED:
      return INET_E_AUTHENTICATION_REQUIRED;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
      return INET_E_SECURITY_PROBLEM;
    case CURLE_OUT_OF_MEMORY:
      return E_OUTOFMEMORY;
    case CURLE_ABORTED_BY_CALLBACK:
      return E_ABORT;
    case CURLE_FAILED_INIT:
      return E_FAIL;
    default:
      // Broken, cut short or garbled transfers.
      return INET_E_DOWNLOAD_FAILURE;
  }
}

}  // namespace vrk_posix
