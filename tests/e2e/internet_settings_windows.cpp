// On Windows the tool reads the registry of the (Wine) user the tests run as, so the
// values are set there and those found before are put back.
#include <windows.h>

#include <stdexcept>

#include "internet_settings.h"

namespace vrk_test {
namespace {

const char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char* const kNames[] = {"ProxyEnable", "ProxyServer"};

HKEY OpenKey() {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

void RemoveValues(HKEY key) {
  for (const char* name : kNames) RegDeleteValueA(key, name);
}

}  // namespace

InternetSettings::InternetSettings(const ToolFolder& folder) : folder_(folder) {
  HKEY key = nullptr;
  keyFound_ = RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (!keyFound_) return;
  for (const char* name : kNames) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) continue;
    std::string data(size, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) ==
        ERROR_SUCCESS) {
      data.resize(size);
      found_.push_back({name, type, data});
    }
  }
  RegCloseKey(key);
}

InternetSettings::~InternetSettings() {
  if (!keyFound_) {
    HKEY key = OpenKey();
    if (key != nullptr) {
      RemoveValues(key);
      RegCloseKey(key);
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    return;
  }
  HKEY key = OpenKey();
  if (key == nullptr) return;
  RemoveValues(key);
  for (const Found& value : found_) {
    RegSetValueExA(key, value.name.c_str(), 0, value.type,
                   reinterpret_cast<const BYTE*>(value.data.data()),
                   static_cast<DWORD>(value.data.size()));
  }
  RegCloseKey(key);
}

void InternetSettings::Set(const std::vector<RegistryValue>& values) {
  HKEY key = OpenKey();
  if (key == nullptr) throw std::runtime_error("cannot open the Internet Settings key");
  RemoveValues(key);
  LONG failed = ERROR_SUCCESS;
  for (const RegistryValue& value : values) {
    LONG result;
    if (value.kind == RegistryValue::kDword) {
      DWORD number = value.number;
      result = RegSetValueExA(key, value.name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&number), sizeof number);
    } else {
      // Stored with its terminating zero, as the registry editor stores text.
      result = RegSetValueExA(key, value.name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.text.c_str()),
                              static_cast<DWORD>(value.text.size() + 1));
    }
    if (result != ERROR_SUCCESS) failed = result;
  }
  RegCloseKey(key);
  if (failed != ERROR_SUCCESS) throw std::runtime_error("cannot set " + std::to_string(failed));
}

std::vector<std::string> InternetSettings::Environment() const { return {}; }

}  // namespace vrk_test
