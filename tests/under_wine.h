// Whether a Windows test program runs under Wine, for the few cases where Wine's
// sockets are known to differ from Windows' (those tests then say so and skip).
#pragma once

#include "platform/winapi.h"

namespace vrk::testing {

inline bool RunningUnderWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace vrk::testing
