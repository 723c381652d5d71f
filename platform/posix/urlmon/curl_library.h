// The URL transfer library, loaded at the first download so that runs which never
// download neither need it installed nor pay for loading it.
#pragma once

#include <curl/curl.h>

#include "platform/posix/win32_types.h"

namespace vrk_posix {

struct CurlLibrary {
  CURL* (*easyInit)();
  CURLcode (*easySetopt)(CURL*, CURLoption, ...);
  CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...);
  void (*easyCleanup)(CURL*);
  // The multi interface, whose waits the caller bounds: a transfer of the easy one
  // looks at its progress only about once a second.
  CURLM* (*multiInit)();
  CURLMcode (*multiAddHandle)(CURLM*, CURL*);
  CURLMcode (*multiPerform)(CURLM*, int*);
  CURLMcode (*multiPoll)(CURLM*, struct curl_waitfd*, unsigned int, int, int*);
  CURLMsg* (*multiInfoRead)(CURLM*, int*);
  CURLMcode (*multiRemoveHandle)(CURLM*, CURL*);
  CURLMcode (*multiCleanup)(CURLM*);
};

// The loaded and initialised library, or null when it is not installed or could not be
// loaded. Loads it once.
const CurlLibrary* Curl();
// Why Curl() gave null, as a Win32 error: a missing library, or the limit that stopped it.
DWORD CurlLoadFailure();

}  // namespace vrk_posix
