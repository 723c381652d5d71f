// A key of the current user's registry made for one test and removed with everything in it
// afterwards. On Windows it is a real key; on POSIX it lives in a registry file of its own.
#pragma once

#include <string>

#include "platform/winapi.h"

#ifdef _WIN32
#include <cstdint>
#else
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

#include "tests/platform/scratch_folder.h"
#endif

namespace vrk::testing {

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

 private:
  std::string Full(const std::string& subKey) const {
    return subKey.empty() ? path_ : path_ + "\\" + subKey;
  }
  std::string path_;
#ifdef _WIN32
  static void DeleteTree(HKEY parent, const std::string& name);
#else
  void Save() const;
  ScratchFolder folder_;
  std::optional<std::string> saved_;
  std::map<std::string, std::string> lines_;  // key path -> its value lines
#endif
};

#ifdef _WIN32

inline ScratchRegistryKey::ScratchRegistryKey()
    : path_("Software\\VrkTests\\" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount())) {
  MakeKey("");
}

inline ScratchRegistryKey::~ScratchRegistryKey() {
  DeleteTree(HKEY_CURRENT_USER, path_);
  HKEY parent = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &parent) == ERROR_SUCCESS) {
    RegDeleteKeyA(parent, "VrkTests");  // fails while other runs still hold keys there
    RegCloseKey(parent);
  }
}

inline void ScratchRegistryKey::DeleteTree(HKEY parent, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char child[256];
  for (;;) {
    DWORD size = sizeof child;
    if (RegEnumKeyExA(key, 0, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    DeleteTree(key, child);
  }
  RegCloseKey(key);
  RegDeleteKeyA(parent, name.c_str());
}

inline void ScratchRegistryKey::Put(const std::string& subKey, const std::string& name,
                                    DWORD type, const std::string& bytes) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, Full(subKey).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  if (type != REG_NONE) {
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
  }
  RegCloseKey(key);
}

#else

inline ScratchRegistryKey::ScratchRegistryKey() : path_("Software\\VrkTests\\scratch") {
  if (const char* file = std::getenv("VRK_REGISTRY")) saved_ = file;
  setenv("VRK_REGISTRY", folder_.Inside("registry.reg").c_str(), 1);
  MakeKey("");
}

inline ScratchRegistryKey::~ScratchRegistryKey() {
  if (saved_) {
    setenv("VRK_REGISTRY", saved_->c_str(), 1);
  } else {
    unsetenv("VRK_REGISTRY");
  }
}

inline void ScratchRegistryKey::Put(const std::string& subKey, const std::string& name,
                                    DWORD type, const std::string& bytes) {
  std::string& lines = lines_[Full(subKey)];
  if (type != REG_NONE) {
    // Version 5 files hold the text types in UTF-16.
    const bool text = type == REG_SZ || type == REG_EXPAND_SZ;
    char line[64];
    std::snprintf(line, sizeof line, "\"%s\"=hex(%lx):", name.c_str(),
                  static_cast<unsigned long>(type));
    lines += line;
    const char* separator = "";
    for (unsigned char c : bytes) {
      std::snprintf(line, sizeof line, text ? "%s%02x,00" : "%s%02x", separator, c);
      lines += line;
      separator = ",";
    }
    lines += "\r\n";
  }
  Save();
}

inline void ScratchRegistryKey::Save() const {
  std::string file = "Windows Registry Editor Version 5.00\r\n\r\n";
  for (const auto& [key, values] : lines_) file += "[HKEY_CURRENT_USER\\" + key + "]\r\n" + values;
  folder_.Put("registry.reg", file);
}

#endif

}  // namespace vrk::testing
