// What a window shows and holds: visibility and show state, parent, extra bytes and
// longs, its rectangles.
#include <cstring>

#include "platform/posix/windows/window_table.h"

namespace {

LONG_PTR* LongSlot(vrk_posix::Window& entry, int index) {
  switch (index) {
    case GWL_USERDATA:
      return &entry.userData;
    default:
      return nullptr;
  }
}

}  // namespace

using namespace vrk_posix;

BOOL IsWindowVisible(HWND window) {
  for (Window* entry = FindWindowEntry(window); entry; entry = FindWindowEntry(entry->parent)) {
    if (!(entry->style & WS_VISIBLE)) return FALSE;
    if (entry->parent == nullptr || entry->parent == HWND_MESSAGE) return TRUE;
  }
  return FALSE;
}

BOOL IsIconic(HWND window) {
  Window* entry = FindWindowEntry(window);
  return entry && entry->iconic ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int command) {
  Window* entry = FindWindowEntry(window);
  if (entry == nullptr) return FALSE;
  BOOL wasVisible = (entry->style & WS_VISIBLE) ? TRUE : FALSE;
  bool wasIconic = entry->iconic;
  bool wasZoomed = entry->zoomed;
  bool show = command != SW_HIDE;
  if (show) {
    entry->style |= WS_VISIBLE;
  } else {
    entry->style &= ~static_cast<DWORD>(WS_VISIBLE);
  }
  switch (command) {
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      entry->iconic = true;
      entry->zoomed = false;
      break;
    case SW_SHOWMAXIMIZED:
      entry->iconic = false;
      entry->zoomed = true;
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
      entry->iconic = false;
      entry->zoomed = false;
      break;
    default:
      break;
  }
  if (show != static_cast<bool>(wasVisible)) SendMessageA(window, WM_SHOWWINDOW, show, 0);
  if (IsWindow(window) && (entry->iconic != wasIconic || entry->zoomed != wasZoomed)) {
    WPARAM kind = entry->iconic ? SIZE_MINIMIZED : entry->zoomed ? SIZE_MAXIMIZED : SIZE_RESTORED;
    RECT rect = entry->rect;
    SendMessageA(window, WM_SIZE, kind,
                 static_cast<LPARAM>(((rect.bottom - rect.top) << 16) | ((rect.right - rect.left) & 0xFFFF)));
  }
  return wasVisible;
}

HWND GetParent(HWND window) {
  Window* entry = FindWindowEntry(window);
  return entry && entry->parent != HWND_MESSAGE ? entry->parent : nullptr;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  Window* entry = FindWindowEntry(window);
  if (entry == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (index >= 0) {
    if (static_cast<std::size_t>(index) + sizeof(LONG_PTR) > entry->extra.size()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    LONG_PTR value;
    std::memcpy(&value, entry->extra.data() + index, sizeof value);
    return value;
  }
  switch (index) {
    case GWL_STYLE:
      return static_cast<LONG_PTR>(entry->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(entry->exStyle);
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(entry->proc);
    default:
      if (LONG_PTR* slot = LongSlot(*entry, index)) return *slot;
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  Window* entry = FindWindowEntry(window);
  if (entry == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  LONG_PTR old = GetWindowLongPtrA(window, index);
  if (index >= 0) {
    if (static_cast<std::size_t>(index) + sizeof(LONG_PTR) > entry->extra.size()) return 0;
    std::memcpy(entry->extra.data() + index, &value, sizeof value);
    return old;
  }
  switch (index) {
    case GWL_STYLE:
      entry->style = static_cast<DWORD>(value);
      break;
    case GWL_EXSTYLE:
      entry->exStyle = static_cast<DWORD>(value);
      break;
    case GWL_WNDPROC:
      entry->proc = reinterpret_cast<WNDPROC>(value);
      break;
    default:
      if (LONG_PTR* slot = LongSlot(*entry, index)) *slot = value;
      break;
  }
  return old;
}

// The 32-bit forms keep their Win32 width; on 64-bit POSIX a pointer needs the Ptr forms.
LONG GetWindowLongA(HWND window, int index) {
  Window* entry = FindWindowEntry(window);
  if (entry && index >= 0) {
    if (static_cast<std::size_t>(index) + sizeof(LONG) > entry->extra.size()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    LONG value;
    std::memcpy(&value, entry->extra.data() + index, sizeof value);
    return value;
  }
  return static_cast<LONG>(GetWindowLongPtrA(window, index));
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  Window* entry = FindWindowEntry(window);
  if (entry && index >= 0) {
    LONG old = GetWindowLongA(window, index);
    if (static_cast<std::size_t>(index) + sizeof(LONG) > entry->extra.size()) return 0;
    std::memcpy(entry->extra.data() + index, &value, sizeof value);
    return old;
  }
  return static_cast<LONG>(SetWindowLongPtrA(window, index, value));
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  Window* entry = FindWindowEntry(window);
  if (entry == nullptr || rect == nullptr) return FALSE;
  *rect = entry->rect;
  return TRUE;
}
