// Connects a window of the platform to the object that handles its messages.
#pragma once

#include "platform/winapi.h"

namespace vrk {

class WindowReceiver {
 public:
  virtual ~WindowReceiver() = default;
  // Exceptions that escape are shown by the standard exception report; the
  // platform's message dispatch never sees them.
  virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

// Registers the class on first use and creates a window whose messages go to
// `receiver` from the first message on. Null when the platform refuses.
HWND CreateReceiverWindow(const char* className, WindowReceiver* receiver, DWORD style,
                          DWORD exStyle, const char* caption, int left, int top, int width,
                          int height, HWND parent);

}  // namespace vrk
