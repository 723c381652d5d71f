// The never-shown windows through which the platform's timer ticks and socket
// notifications reach their objects. Each keeps its owner's address in its extra bytes.
#pragma once

#include "platform/winapi.h"

namespace vrk {

// A window class registered on first use for the program's module instance.
struct HiddenWindowClass {
  const char* Name;
  WNDPROC Procedure;
};

// Registers the class when needed and makes a window whose extra bytes at index 0 hold
// `owner` (when given). Returns 0 when the class cannot be registered or the window made.
HWND CreateHiddenWindow(const HiddenWindowClass& windowClass, void* owner);

// The owner stored in the window, null until it is set.
void* HiddenWindowOwner(HWND window);

}  // namespace vrk
