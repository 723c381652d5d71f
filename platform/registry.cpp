#include "platform/registry.h"

#include <cstdint>
#include <string>

#include "base/ascii.h"
#include "framework/exceptions.h"
#include "platform/system_message.h"

namespace vrk {

namespace {

// The registry calls take zero-terminated names: a zero byte inside would make the
// name a shorter one and read some other key or value.
[[noreturn]] void FailedToGet(const Text& name) {
  throw ERegistryException(FormatText("Failed to get data for '%s'", {name}));
}

[[noreturn]] void InvalidType(const Text& name) {
  throw ERegistryException(FormatText("Invalid data type for '%s'", {name}));
}

// A limit that kept the registry from being read (no descriptor or memory left) is no missing
// value: the system's words for the limit tell what happened. Any other failure to open the
// key reads as a missing value.
void ThrowIfLimited(LONG error) {
  const bool limit = error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NOT_ENOUGH_MEMORY ||
                     error == ERROR_OUTOFMEMORY;
  if (!limit) return;
  const Text text = SystemMessage(static_cast<DWORD>(error));
  if (!text.IsEmpty()) throw ERegistryException(text);
}

}  // namespace

TRegistry::~TRegistry() { CloseKey(); }

bool TRegistry::OpenKey(const Text& key, bool /*canCreate*/) {
  CloseKey();
  openError_ = ERROR_FILE_NOT_FOUND;  // a name with a zero byte names no key
  if (ascii::HasZeroByte(key.View())) return false;
  HKEY opened = nullptr;
  openError_ = RegOpenKeyExA(rootKey_, key.c_str(), 0, access_, &opened);
  if (openError_ != ERROR_SUCCESS) return false;
  currentKey_ = opened;
  return true;
}

int TRegistry::ReadInteger(const Text& name) {
  if (currentKey_ == nullptr) ThrowIfLimited(openError_);
  if (currentKey_ == nullptr || ascii::HasZeroByte(name.View())) FailedToGet(name);
  // Zeroed, so that a REG_DWORD stored with fewer than 4 bytes reads as those bytes only.
  BYTE data[4] = {};
  DWORD size = sizeof data;
  DWORD type = REG_NONE;
  if (RegQueryValueExA(currentKey_, name.c_str(), nullptr, &type, data, &size) != ERROR_SUCCESS) {
    FailedToGet(name);
  }
  if (type != REG_DWORD) InvalidType(name);
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | data[i];
  return static_cast<int>(value);
}

Text TRegistry::ReadString(const Text& name) {
  if (currentKey_ == nullptr) ThrowIfLimited(openError_);
  if (currentKey_ == nullptr || ascii::HasZeroByte(name.View())) return Text();
  DWORD size = 0;
  if (RegQueryValueExA(currentKey_, name.c_str(), nullptr, nullptr, nullptr, &size) !=
          ERROR_SUCCESS ||
      size == 0) {
    return Text();
  }
  std::string data(size, '\0');
  DWORD type = REG_NONE;
  if (RegQueryValueExA(currentKey_, name.c_str(), nullptr, &type,
                       reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
    FailedToGet(name);
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) InvalidType(name);
  data.resize(size);
  return Text(data.c_str());
}

void TRegistry::CloseKey() {
  if (currentKey_ == nullptr) return;
  RegCloseKey(currentKey_);
  currentKey_ = nullptr;
}

}  // namespace vrk
