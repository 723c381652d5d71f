// Reading values of the current user's registry keys.
#pragma once

#include "framework/text.h"
#include "platform/winapi.h"

namespace vrk {

class TRegistry {
 public:
  TRegistry() = default;
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const noexcept { return rootKey_; }
  DWORD Access() const noexcept { return access_; }
  HKEY CurrentKey() const noexcept { return currentKey_; }

  // Opens the key below the root, never creating it, whatever canCreate says. Any key
  // open before is closed first, so after a failure no key is open.
  bool OpenKey(const Text& key, bool canCreate);
  // REG_DWORD only. ERegistryException "Failed to get data for '%s'" when the value is
  // missing, no key is open or the data is longer than 4 bytes; "Invalid data type for
  // '%s'" for any other type. When the last OpenKey failed for want of descriptors or
  // memory, the system's text of that limit.
  int ReadInteger(const Text& name);
  // REG_SZ or REG_EXPAND_SZ (not expanded), up to the first zero byte. A missing or
  // empty value gives the empty text; any other type "Invalid data type for '%s'"; after
  // an OpenKey that failed for a limit, the system's text of that limit.
  Text ReadString(const Text& name);
  void CloseKey();

 private:
  HKEY rootKey_ = HKEY_CURRENT_USER;
  DWORD access_ = KEY_READ;
  HKEY currentKey_ = nullptr;
  LONG openError_ = ERROR_SUCCESS;  // of the last OpenKey
};

}  // namespace vrk
