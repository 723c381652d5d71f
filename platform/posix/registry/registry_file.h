// The emulated registry: the current user's keys as the registry editor exports them to a file.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/win32.h"

namespace vrk_posix {

struct RegistryValue {
  DWORD type = REG_NONE;
  std::string data;  // as the ANSI calls return it; text includes its terminating zero
};

// Values of one key by case-folded name; the default value has the empty name.
using RegistryValues = std::map<std::string, RegistryValue>;

// A key path as the registry compares it: ASCII letters folded, trailing backslashes
// dropped, backslashes in a row taken as one, "" for the root. Nothing for a path that
// starts with a backslash.
std::optional<std::string> FoldedKeyPath(std::string_view path);
std::string FoldedName(std::string_view name);

// Keys below HKEY_CURRENT_USER by folded path. The root always exists.
class RegistryDocument {
 public:
  RegistryDocument();

  // Creates the key and every key above it, as an import does; a bad path gives nullptr.
  RegistryValues* AddKey(std::string_view path);
  // Removes the key with every key below it; the root stays.
  void DeleteKey(std::string_view path);
  const RegistryValues* FindKey(std::string_view path) const;

 private:
  std::map<std::string, RegistryValues> keys_;
};

// The four little-endian bytes of a REG_DWORD.
std::string DwordData(DWORD value);

// Little-endian UTF-16 as UTF-8; a lone surrogate becomes U+FFFD, an odd last byte is dropped.
std::string Utf8FromUtf16(std::string_view littleEndian);

// Reads an export ("Windows Registry Editor Version 5.00" or "REGEDIT4"), in UTF-8 or in
// UTF-16LE with a byte-order mark. Keys of other roots, malformed lines and a file without
// the header line are skipped; reading never fails.
RegistryDocument ParseRegistryFile(std::string_view bytes);

// $VRK_REGISTRY, else $XDG_CONFIG_HOME/vrk/registry.reg, else ~/.config/vrk/registry.reg;
// empty when none of them can be formed.
std::string RegistryFilePath();

// The stand-in used when there is no registry file: the Internet Settings key
// made from the http_proxy environment variable.
RegistryDocument EnvironmentRegistry();

}  // namespace vrk_posix
