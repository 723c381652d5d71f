// The window table, and windows entering and leaving it.
#include "platform/posix/windows/window_table.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/posix/windows/bus_windows.h"
#include "platform/posix/windows/message_queue.h"
#include "platform/posix/windows/window_classes.h"

namespace vrk_posix {
namespace {

struct Table {
  std::mutex lock;  // guards the window map against posts from other threads
  std::map<HWND, std::unique_ptr<Window>> windows;
  std::vector<HWND> order;  // creation order
  std::uintptr_t nextHandle = 0x10000;
};

// Never destroyed, so windows can still be looked up while other static objects go away.
Table& TheTable() {
  static auto* table = new Table();
  return *table;
}

Window* FindLocked(Table& table, HWND handle) {
  auto it = table.windows.find(handle);
  return it == table.windows.end() ? nullptr : it->second.get();
}

}  // namespace

Window* FindWindowEntry(HWND handle) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  return FindLocked(table, handle);
}

bool WindowThread(HWND handle, DWORD* threadId) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  Window* entry = FindLocked(table, handle);
  if (entry == nullptr) return false;
  *threadId = entry->threadId;
  return true;
}

HWND AddWindow(std::unique_ptr<Window> entry) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  if (entry->parent != nullptr && entry->parent != HWND_MESSAGE &&
      !FindLocked(table, entry->parent)) {
    return nullptr;
  }
  HWND handle = reinterpret_cast<HWND>(table.nextHandle);
  table.nextHandle += 4;
  entry->handle = handle;
  table.windows[handle] = std::move(entry);
  table.order.push_back(handle);
  return handle;
}

void RemoveWindow(HWND handle) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  table.windows.erase(handle);
  table.order.erase(std::remove(table.order.begin(), table.order.end(), handle),
                    table.order.end());
}

HWND NewestChildOf(HWND parent) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  for (auto it = table.order.rbegin(); it != table.order.rend(); ++it) {
    Window* entry = FindLocked(table, *it);
    if (entry && entry->parent == parent) return *it;
  }
  return nullptr;
}

std::vector<HWND> ChildrenOf(HWND parent) {
  Table& table = TheTable();
  std::lock_guard<std::mutex> guard(table.lock);
  std::vector<HWND> result;
  for (auto it = table.order.rbegin(); it != table.order.rend(); ++it) {
    Window* entry = FindLocked(table, *it);
    if (entry && entry->parent == parent) result.push_back(*it);
  }
  return result;
}

}  // namespace vrk_posix

using namespace vrk_posix;

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU, HINSTANCE instance,
                     LPVOID param) {
  std::optional<WindowClass> windowClass = FindWindowClass(className);
  if (!windowClass) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return nullptr;
  }
  auto entry = std::make_unique<Window>();
  entry->className = windowClass->name;
  entry->proc = windowClass->proc;
  entry->style = style;
  entry->exStyle = exStyle;
  entry->parent = parent;
  entry->extra.assign(static_cast<std::size_t>(std::max(windowClass->windowExtra, 0)), 0);
  entry->rect = RECT{x, y, x + width, y + height};
  entry->zoomed = (style & WS_MAXIMIZE) != 0;
  entry->iconic = (style & WS_MINIMIZE) != 0;
  entry->threadId = GetCurrentThreadId();
  HWND handle = AddWindow(std::move(entry));
  if (handle == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  CREATESTRUCTA create{param,  instance, nullptr, parent,   height,    width,
                       y,      x,        static_cast<LONG>(style), windowName, className, exStyle};
  LPARAM createParam = reinterpret_cast<LPARAM>(&create);
  if (!SendMessageA(handle, WM_NCCREATE, 0, createParam) ||
      SendMessageA(handle, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  // Windows tells every new window its size and place once it is created.
  if (Window* created = FindWindowEntry(handle)) {
    const WPARAM kind =
        created->iconic ? SIZE_MINIMIZED : created->zoomed ? SIZE_MAXIMIZED : SIZE_RESTORED;
    const RECT rect = created->rect;
    SendMessageA(handle, WM_SIZE, kind,
                 static_cast<LPARAM>(((rect.bottom - rect.top) << 16) |
                                     ((rect.right - rect.left) & 0xFFFF)));
    if (IsWindow(handle)) {
      const DWORD place = (static_cast<DWORD>(rect.top) & 0xFFFFu) << 16 |
                          (static_cast<DWORD>(rect.left) & 0xFFFFu);
      SendMessageA(handle, WM_MOVE, 0, static_cast<LPARAM>(place));
    }
  }
  return handle;
}

BOOL DestroyWindow(HWND window) {
  if (!FindWindowEntry(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  SendMessageA(window, WM_DESTROY, 0, 0);
  // One child at a time, newest first, with no list of them: destructors destroy windows, and
  // must not need memory for it.
  while (HWND child = NewestChildOf(window)) DestroyWindow(child);
  SendMessageA(window, WM_NCDESTROY, 0, 0);
  ForgetWindow(window);
  RemoveWindow(window);
  return TRUE;
}

// Other programs' windows are windows too, as on Windows.
BOOL IsWindow(HWND window) {
  return FindWindowEntry(window) || IsBusWindow(window) ? TRUE : FALSE;
}
