// The system's EDIT class: a text with a selection and a length limit.
#pragma once

#include "platform/posix/win32.h"

namespace vrk_posix {

LRESULT CALLBACK EditControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vrk_posix
