// Enumeration and search of windows: this process's own, then the other programs' as the
// accessibility bus shows them.
#include "platform/posix/windows/bus_windows.h"
#include "platform/posix/windows/window_classes.h"
#include "platform/posix/windows/window_table.h"

namespace {

bool EnumDescendants(HWND parent, WNDENUMPROC callback, LPARAM param) {
  for (HWND child : vrk_posix::ChildrenOf(parent)) {
    if (!IsWindow(child)) continue;
    if (!callback(child, param)) return false;
    if (!EnumDescendants(child, callback, param)) return false;
  }
  return true;
}

}  // namespace

using namespace vrk_posix;

// The own windows newest first, as z-order runs; the bus is asked only when they did not
// satisfy the caller.
BOOL EnumWindows(WNDENUMPROC callback, LPARAM param) {
  for (HWND window : ChildrenOf(nullptr)) {
    if (IsWindow(window) && !callback(window, param)) return FALSE;
  }
  return EnumBusWindows(callback, param) ? TRUE : FALSE;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM param) {
  if (parent == nullptr) return EnumWindows(callback, param);
  if (IsBusWindow(parent)) return EnumBusDescendants(parent, callback, param) ? TRUE : FALSE;
  return EnumDescendants(parent, callback, param) ? TRUE : FALSE;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  for (HWND window : ChildrenOf(nullptr)) {
    Window* entry = FindWindowEntry(window);
    if (entry == nullptr) continue;
    if (className && !SameClassName(entry->className, className)) continue;
    if (windowName && entry->text != windowName) continue;
    return window;
  }
  return nullptr;
}
