// Window classes: the ones the program registers and the system's EDIT class.
#pragma once

#include <optional>
#include <string>

#include "platform/posix/win32.h"

namespace vrk_posix {

struct WindowClass {
  std::string name;
  WNDPROC proc = nullptr;
  int windowExtra = 0;
  HINSTANCE instance = nullptr;
};

// The class of that name, letter case ignored as Windows does.
std::optional<WindowClass> FindWindowClass(const char* name);

// Whether two class names name the same class.
bool SameClassName(const std::string& name, const char* other);

}  // namespace vrk_posix
