// On POSIX the tool reads the registry from an exported registry file named by VRK_REGISTRY.
#include <cstdio>

#include "internet_settings.h"

namespace vrk_test {
namespace {

const char kFileName[] = "registry.reg";

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '"' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

}  // namespace

InternetSettings::InternetSettings(const ToolFolder& folder) : folder_(folder) {}

InternetSettings::~InternetSettings() = default;

void InternetSettings::Set(const std::vector<RegistryValue>& values) {
  std::string file =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings]\r\n";
  for (const RegistryValue& value : values) {
    file += "\"" + Escaped(value.name) + "\"=";
    if (value.kind == RegistryValue::kDword) {
      char number[16];
      std::snprintf(number, sizeof number, "dword:%08x", static_cast<unsigned>(value.number));
      file += number;
    } else {
      file += "\"" + Escaped(value.text) + "\"";
    }
    file += "\r\n";
  }
  folder_.Put(kFileName, file);
}

std::vector<std::string> InternetSettings::Environment() const {
  return {"VRK_REGISTRY=" + folder_.Inside(kFileName)};
}

}  // namespace vrk_test
