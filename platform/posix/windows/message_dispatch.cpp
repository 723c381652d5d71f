// Messages to a window: sent straight to its procedure (the emulation's windows all live in
// this process; other programs' answer over the accessibility bus), dispatched from the queue,
// answered by the default procedure; and the window text, which goes through them.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/posix/windows/bus_windows.h"
#include "platform/posix/windows/window_table.h"

namespace vrk_posix {

std::size_t CopyWindowText(std::string_view text, LPSTR buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  std::size_t count = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), count);
  buffer[count] = 0;
  return count;
}

}  // namespace vrk_posix

namespace {

LRESULT TextMessage(vrk_posix::Window& entry, UINT message, WPARAM wParam, LPARAM lParam,
                    bool* handled) {
  *handled = true;
  switch (message) {
    case WM_SETTEXT: {
      // The text is zero-terminated: it ends at its first zero byte.
      const char* text = reinterpret_cast<const char*>(lParam);
      entry.text = text ? text : "";
      return TRUE;
    }
    case WM_GETTEXT:
      return static_cast<LRESULT>(
          vrk_posix::CopyWindowText(entry.text, reinterpret_cast<LPSTR>(lParam), wParam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(entry.text.size());
    default:
      *handled = false;
      return 0;
  }
}

}  // namespace

using namespace vrk_posix;

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* entry = FindWindowEntry(window);
  if (entry == nullptr && IsBusWindow(window)) {
    return BusWindowMessage(window, message, wParam, lParam);
  }
  if (entry == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return entry->proc(window, message, wParam, lParam);
}

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(window, message, wParam, lParam) : 0;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (msg->hwnd == nullptr || !IsWindow(msg->hwnd)) return 0;
  return SendMessageA(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* entry = FindWindowEntry(window);
  if (entry == nullptr) return 0;
  bool handled;
  LRESULT result = TextMessage(*entry, message, wParam, lParam, &handled);
  if (handled) return result;
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      if (create && create->lpszName) entry->text = create->lpszName;
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    default:
      return 0;
  }
}

int GetWindowTextA(HWND window, LPSTR buffer, int maxCount) {
  if (buffer && maxCount > 0) buffer[0] = 0;
  if (!IsWindow(window) || maxCount <= 0) return 0;
  return static_cast<int>(SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(maxCount),
                                       reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthA(HWND window) {
  return IsWindow(window) ? static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  if (!IsWindow(window)) return FALSE;
  return static_cast<BOOL>(SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}
