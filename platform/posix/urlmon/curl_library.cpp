#include "platform/posix/urlmon/curl_library.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace vrk_posix {

namespace {

template <typename Function>
bool Resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  return function != nullptr;
}

// The tool's error stream holds its boxes alone; a library that initialises itself as it loads
// may write there when that fails (one TLS library does when memory is short, and the download
// then fails by itself or goes on without it). While the library loads, the stream goes nowhere.
void* OpenQuietly(const char* name) {
  const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
  const int nowhere = saved < 0 ? -1 : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere >= 0) ::dup2(nowhere, STDERR_FILENO);
  void* library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (nowhere >= 0) {
    ::dup2(saved, STDERR_FILENO);
    ::close(nowhere);
  }
  if (saved >= 0) ::close(saved);
  return library;
}

const CurlLibrary* Load() {
  // The two builds Debian ships share one interface; either will do.
  void* library = OpenQuietly("libcurl.so.4");
  if (library == nullptr) library = OpenQuietly("libcurl-gnutls.so.4");
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
