#include "platform/posix/urlmon/curl_library.h"

#include <cerrno>

#include "platform/posix/kernel/shared_library.h"

namespace vrk_posix {

namespace {

DWORD loadFailure = 0;

const CurlLibrary* Load() {
  // The two builds Debian ships share one interface; either will do. The first one's
  // failure tells why: the second is usually not installed at all.
  void* library = OpenQuietly("libcurl.so.4");
  if (library == nullptr) {
    loadFailure = LoadFailure(errno);
    library = OpenQuietly("libcurl-gnutls.so.4");
  }
  if (library == nullptr) return nullptr;
  static CurlLibrary curl{};
  CURLcode (*globalInit)(long) = nullptr;
  if (!Resolve(library, "curl_global_init", globalInit) ||
      !Resolve(library, "curl_easy_init", curl.easyInit) ||
      !Resolve(library, "curl_easy_setopt", curl.easySetopt) ||
      !Resolve(library, "curl_easy_getinfo", curl.easyGetinfo) ||
      !Resolve(library, "curl_easy_cleanup", curl.easyCleanup) ||
      !Resolve(library, "curl_multi_init", curl.multiInit) ||
      !Resolve(library, "curl_multi_add_handle", curl.multiAddHandle) ||
      !Resolve(library, "curl_multi_perform", curl.multiPerform) ||
      !Resolve(library, "curl_multi_poll", curl.multiPoll) ||
      !Resolve(library, "curl_multi_info_read", curl.multiInfoRead) ||
      !Resolve(library, "curl_multi_remove_handle", curl.multiRemoveHandle) ||
      !Resolve(library, "curl_multi_cleanup", curl.multiCleanup) ||
      globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    loadFailure = LoadFailure(0);
    ::dlclose(library);
    return nullptr;
  }
  // Kept loaded for the rest of the process: unloading an initialised library is unsafe.
  return &curl;
}

}  // namespace

const CurlLibrary* Curl() {
  static const CurlLibrary* const curl = Load();
  return curl;
}

DWORD CurlLoadFailure() {
  Curl();
  return loadFailure;
}

}  // namespace vrk_posix
