// The result codes a URL download reports, as the Windows download service gives them.
#pragma once

#include <curl/curl.h>

#include "platform/posix/win32.h"

namespace vrk_posix {

// The outcome of a transfer: its code, the final HTTP status and the status of a proxy
// tunnel (0 when there was none).
HRESULT DownloadResult(CURLcode code, long httpStatus, long tunnelStatus);

// An HTTP status of 400 or more as a failure code.
HRESULT HttpStatusResult(long status);

// An errno value from writing the target, as a Win32 error turned HRESULT.
HRESULT FileErrorResult(int error);

}  // namespace vrk_posix
