// Opening a file with the program the desktop associates with it.
#pragma once

#include "framework/text.h"
#include "platform/winapi.h"

namespace vrk {

// "open" with no parameters, no directory, shown normally; the result is not looked at.
void ShellOpen(HWND owner, const Text& fileName);

}  // namespace vrk
