// A shared library the tool cannot load: /dev/null bound over the files the loader would open
// for it, seen by this suite and its children alone (the suite runs in a mount namespace of its
// own). Unbound when it goes.
#pragma once

#ifndef _WIN32

#include <dlfcn.h>
#include <link.h>
#include <sys/mount.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace vrk_test {

class HiddenLibrary {
 public:
  explicit HiddenLibrary(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      void* handle = ::dlopen(name.c_str(), RTLD_LAZY | RTLD_LOCAL);
      link_map* map = nullptr;
      if (handle == nullptr || ::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) continue;
      char* real = ::realpath(map->l_name, nullptr);
      if (real != nullptr && ::mount("/dev/null", real, nullptr, MS_BIND, nullptr) == 0) {
        hidden_.emplace_back(real);
      } else {
        failed_ = true;
      }
      std::free(real);
    }
  }
  ~HiddenLibrary() {
    for (const std::string& path : hidden_) ::umount2(path.c_str(), MNT_DETACH);
  }
  HiddenLibrary(const HiddenLibrary&) = delete;
  HiddenLibrary& operator=(const HiddenLibrary&) = delete;

  // False where a file could not be covered (no right to mount): the library is still there.
  bool Hidden() const { return !failed_; }

 private:
  std::vector<std::string> hidden_;
  bool failed_ = false;
};

}  // namespace vrk_test

#endif
