#include "tests/support/scratch_registry_key.h"

#include <cstdio>
#include <cstdlib>

namespace vrk_test {

ScratchRegistryKey::ScratchRegistryKey() : path_("Software\\VrkTests\\scratch") {
  SetVariable("VRK_REGISTRY", folder_.Inside("registry.reg"));
  MakeKey("");
}

ScratchRegistryKey::~ScratchRegistryKey() = default;

void ScratchRegistryKey::Put(const std::string& subKey, const std::string& name, DWORD type,
                             const std::string& bytes) {
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
  std::string file = "Windows Registry Editor Version 5.00\r\n\r\n";
  for (const auto& [key, values] : lines_) file += "[HKEY_CURRENT_USER\\" + key + "]\r\n" + values;
  folder_.Put("registry.reg", file);
}

}  // namespace vrk_test
