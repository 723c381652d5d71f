#include "tests/support/scratch_registry_key.h"

namespace vrk_test {
namespace {

void DeleteTree(HKEY parent, const std::string& name) {
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

}  // namespace

ScratchRegistryKey::ScratchRegistryKey()
    : path_("Software\\VrkTests\\" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount())) {
  MakeKey("");
}

ScratchRegistryKey::~ScratchRegistryKey() {
  DeleteTree(HKEY_CURRENT_USER, path_);
  HKEY parent = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &parent) == ERROR_SUCCESS) {
    RegDeleteKeyA(parent, "VrkTests");  // fails while other runs still hold keys there
    RegCloseKey(parent);
  }
}

void ScratchRegistryKey::Put(const std::string& subKey, const std::string& name, DWORD type,
                             const std::string& bytes) {
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

}  // namespace vrk_test
