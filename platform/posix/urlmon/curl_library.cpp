#include "platform/posix/urlmon/curl_library.h"

#include <dlfcn.h>

namespace vrk_posix {

namespace {

template <typename Function>
bool Resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  return function != nullptr;
}

const CurlLibrary* Load() {
  // The two builds Debian ships share one interface; either will do.
  void* library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) library = ::dlopen("libcurl-gnutls.so.4", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  static CurlLibrary curl{};
  CURLcode (*globalInit)(long) = nullptr;
  if (!Resolve(library, "curl_global_init", globalInit) ||
      !Resolve(library, "curl_easy_init", curl.easyInit) ||
      !Resolve(library, "curl_easy_setopt", curl.easySetopt) ||
      !Resolve(library, "curl_easy_perform", curl.easyPerform) ||
      !Resolve(library, "curl_easy_getinfo", curl.easyGetinfo) ||
      !Resolve(library, "curl_easy_cleanup", curl.easyCleanup) ||
      globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
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

}  // namespace vrk_posix
