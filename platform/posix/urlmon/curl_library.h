// The URL transfer library, loaded at the first download so that runs which never
// download neither need it installed nor pay for loading it.
#pragma once

#include <curl/curl.h>

namespace vrk_posix {

struct CurlLibrary {
  CURL* (*easyInit)();
  CURLcode (*easySetopt)(CURL*, CURLoption, ...);
  CURLcode (*easyPerform)(CURL*);
  CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...);
  void (*easyCleanup)(CURL*);
};

// The loaded and initialised library, or null when it is not installed. Loads it once.
const CurlLibrary* Curl();

}  // namespace vrk_posix
