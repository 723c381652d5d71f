// A key of the current user's registry made for one test and removed with everything in it
// afterwards. On Windows it is a real key; on POSIX it lives in a registry file of its own.
#pragma once

#include <map>
#include <string>

#include "platform/winapi.h"
#include "tests/support/host.h"
#include "tests/support/scratch_folder.h"

namespace vrk_test {

class ScratchRegistryKey {
 public:
  ScratchRegistryKey();
  ~ScratchRegistryKey();
  ScratchRegistryKey(const ScratchRegistryKey&) = delete;
  ScratchRegistryKey& operator=(const ScratchRegistryKey&) = delete;

  // The key's path below HKEY_CURRENT_USER, without a trailing backslash.
  const std::string& Path() const { return path_; }

  // Stores a value under Path() + "\\" + subKey (the key itself for an empty subKey).
  // Text types take ANSI bytes, which must be ASCII here.
  void Put(const std::string& subKey, const std::string& name, DWORD type,
           const std::string& bytes);
  void MakeKey(const std::string& subKey) { Put(subKey, "", REG_NONE, std::string()); }
  // Whether Path() + `below` opens, as the registry calls find keys.
  bool Opens(const std::string& below) const {
    HKEY opened = nullptr;
    const std::string path = path_ + below;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
  }

 private:
  std::string Full(const std::string& subKey) const {
    return subKey.empty() ? path_ : path_ + "\\" + subKey;
  }

  std::string path_;
  // POSIX: the variable that named a registry file before, the file, and the lines of each key.
  SavedVariables saved_{{"VRK_REGISTRY"}};
  ScratchFolder folder_;
  std::map<std::string, std::string> lines_;
};

}  // namespace vrk_test
