// Window handles for other programs' windows and widgets, as the accessibility bus shows
// them: the emulation hands them out after its own windows, and the window calls that take a
// handle answer for them over the bus.
#pragma once

#include "platform/posix/win32.h"

namespace vrk_posix {

bool IsBusWindow(HWND window);

// Calls `callback` with each top-level window on the bus, in the bus's order, until it returns
// FALSE; false when it stopped.
bool EnumBusWindows(WNDENUMPROC callback, LPARAM param);

// Each descendant of a bus window, depth first, until `callback` returns FALSE.
bool EnumBusDescendants(HWND window, WNDENUMPROC callback, LPARAM param);

// The text messages (WM_GETTEXT, WM_GETTEXTLENGTH, WM_SETTEXT) to a bus window; any other
// message is answered with 0.
LRESULT BusWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vrk_posix
