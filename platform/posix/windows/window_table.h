// The emulation's windows: one table for the process, entries owned by the
// thread that created them.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/win32.h"

namespace vrk_posix {

struct Window {
  HWND handle = nullptr;
  std::string className;
  WNDPROC proc = nullptr;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;  // null for top-level windows; HWND_MESSAGE for message-only
  std::vector<char> extra;
  LONG_PTR userData = 0;
  RECT rect{};
  bool iconic = false;
  bool zoomed = false;
  DWORD threadId = 0;
  // Edit control state.
  DWORD textLimit = 0x7FFFFFFE;
  LONG selectionStart = 0;
  LONG selectionEnd = 0;
};

// Null when the handle names no live window. The pointer stays valid until the
// window is destroyed; the table is not locked, since windows live on one thread.
Window* FindWindowEntry(HWND handle);

// The thread that owns a window; safe to call from any thread.
bool WindowThread(HWND handle, DWORD* threadId);

// Gives the window its handle and enters it. Null when its parent is none of null,
// HWND_MESSAGE or a live window.
HWND AddWindow(std::unique_ptr<Window> entry);

void RemoveWindow(HWND handle);

// The windows whose parent is `parent`, newest first, as z-order runs.
std::vector<HWND> ChildrenOf(HWND parent);
// The first of them, or null; needs no memory.
HWND NewestChildOf(HWND parent);

// A window text into a caller's buffer of `size` bytes, as WM_GETTEXT gives it: at most
// size - 1 bytes and a zero; the count copied.
std::size_t CopyWindowText(std::string_view text, LPSTR buffer, std::size_t size);

}  // namespace vrk_posix
