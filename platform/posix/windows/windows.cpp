// Window classes, windows and their messages.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/clipboard/clipboard.h"
#include "platform/posix/windows/message_queue.h"
#include "platform/posix/windows/window_table.h"

namespace vrk_posix {
namespace {

std::string Folded(const char* name) {
  std::string result = name ? name : "";
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

struct Tables {
  std::mutex lock;  // guards the window map against posts from other threads
  std::map<std::string, WindowClass> classes;
  std::map<HWND, std::unique_ptr<Window>> windows;
  std::vector<HWND> order;  // creation order; enumeration runs newest first, as z-order does
  std::uintptr_t nextHandle = 0x10000;

  Tables() { classes["EDIT"] = WindowClass{"EDIT", EditProc, 0, nullptr}; }
};

Tables& TheTables() {
  static auto* tables = new Tables();
  return *tables;
}

std::size_t CopyText(const std::string& text, LPSTR buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  std::size_t count = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), count);
  buffer[count] = 0;
  return count;
}

LRESULT TextMessage(Window& entry, UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
  *handled = true;
  switch (message) {
    case WM_SETTEXT: {
      // The text is zero-terminated: it ends at its first zero byte.
      const char* text = reinterpret_cast<const char*>(lParam);
      entry.text = text ? text : "";
      return TRUE;
    }
    case WM_GETTEXT:
      return static_cast<LRESULT>(CopyText(entry.text, reinterpret_cast<LPSTR>(lParam), wParam));
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(entry.text.size());
    default:
      *handled = false;
      return 0;
  }
}

LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* entry = FindWindowEntry(window);
  if (entry == nullptr) return 0;
  switch (message) {
    case EM_LIMITTEXT:
      entry->textLimit = wParam == 0 ? 0x7FFFFFFE : static_cast<DWORD>(wParam);
      return 0;
    case EM_GETLIMITTEXT:
      return entry->textLimit;
    case EM_SETSEL: {
      LONG length = static_cast<LONG>(entry->text.size());
      LONG start = static_cast<LONG>(wParam);
      LONG end = static_cast<LONG>(lParam);
      if (start < 0) start = end = length;  // -1 start removes the selection
      if (end < 0 || end > length) end = length;
      if (start > length) start = length;
      entry->selectionStart = std::min(start, end);
      entry->selectionEnd = std::max(start, end);
      return 0;
    }
    case EM_GETSEL:
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(entry->selectionStart);
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(entry->selectionEnd);
      return static_cast<LRESULT>((static_cast<DWORD>(entry->selectionEnd) << 16) |
                                  (static_cast<DWORD>(entry->selectionStart) & 0xFFFF));
    case WM_COPY: {
      // As on Windows, an empty selection leaves the clipboard alone. A clipboard that
      // cannot be reached is told through the last error (PutTextOnClipboard sets it).
      LONG length = static_cast<LONG>(entry->text.size());
      LONG start = std::min(entry->selectionStart, length);
      LONG end = std::min(entry->selectionEnd, length);
      if (start < end) {
        PutTextOnClipboard(entry->text.substr(static_cast<std::size_t>(start),
                                              static_cast<std::size_t>(end - start)));
      }
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

Window* FindLocked(Tables& tables, HWND handle) {
  auto it = tables.windows.find(handle);
  return it == tables.windows.end() ? nullptr : it->second.get();
}

std::vector<HWND> ChildrenOf(HWND parent) {
  Tables& tables = TheTables();
  std::vector<HWND> result;
  for (auto it = tables.order.rbegin(); it != tables.order.rend(); ++it) {
    Window* entry = FindLocked(tables, *it);
    if (entry && entry->parent == parent) result.push_back(*it);
  }
  return result;
}

LONG_PTR* LongSlot(Window& entry, int index) {
  switch (index) {
    case GWL_USERDATA:
      return &entry.userData;
    default:
      return nullptr;
  }
}

}  // namespace

Window* FindWindowEntry(HWND handle) {
  Tables& tables = TheTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  return FindLocked(tables, handle);
}

bool WindowThread(HWND handle, DWORD* threadId) {
  Tables& tables = TheTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  Window* entry = FindLocked(tables, handle);
  if (entry == nullptr) return false;
  *threadId = entry->threadId;
  return true;
}

}  // namespace vrk_posix

using namespace vrk_posix;

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
      windowClass->lpfnWndProc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Tables& tables = TheTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  std::string key = Folded(windowClass->lpszClassName);
  if (tables.classes.count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  tables.classes[key] = WindowClass{windowClass->lpszClassName, windowClass->lpfnWndProc,
                                    windowClass->cbWndExtra, windowClass->hInstance};
  return static_cast<ATOM>(0xC000 + tables.classes.size());
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
  Tables& tables = TheTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  return tables.classes.erase(Folded(className)) ? TRUE : FALSE;
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* windowClass) {
  Tables& tables = TheTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  auto it = tables.classes.find(Folded(className));
  if (it == tables.classes.end()) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (windowClass) {
    *windowClass = WNDCLASSA{};
    windowClass->lpfnWndProc = it->second.proc;
    windowClass->cbWndExtra = it->second.windowExtra;
    windowClass->hInstance = it->second.instance;
    windowClass->lpszClassName = className;
  }
  return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU, HINSTANCE instance,
                     LPVOID param) {
  Tables& tables = TheTables();
  HWND handle;
  {
    std::lock_guard<std::mutex> guard(tables.lock);
    auto it = tables.classes.find(Folded(className));
    if (it == tables.classes.end()) {
      SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
      return nullptr;
    }
    if (parent != nullptr && parent != HWND_MESSAGE && !FindLocked(tables, parent)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    auto entry = std::make_unique<Window>();
    handle = reinterpret_cast<HWND>(tables.nextHandle);
    tables.nextHandle += 4;
    entry->handle = handle;
    entry->className = it->second.name;
    entry->proc = it->second.proc;
    entry->style = style;
    entry->exStyle = exStyle;
    entry->parent = parent;
    entry->extra.assign(static_cast<std::size_t>(std::max(it->second.windowExtra, 0)), 0);
    entry->rect = RECT{x, y, x + width, y + height};
    entry->zoomed = (style & WS_MAXIMIZE) != 0;
    entry->iconic = (style & WS_MINIMIZE) != 0;
    entry->threadId = GetCurrentThreadId();
    tables.windows[handle] = std::move(entry);
    tables.order.push_back(handle);
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
  if (Window* entry = FindWindowEntry(handle)) {
    const WPARAM kind = entry->iconic ? SIZE_MINIMIZED : entry->zoomed ? SIZE_MAXIMIZED : SIZE_RESTORED;
    const RECT rect = entry->rect;
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
  Tables& tables = TheTables();
  if (!FindWindowEntry(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  SendMessageA(window, WM_DESTROY, 0, 0);
  std::vector<HWND> children;
  {
    std::lock_guard<std::mutex> guard(tables.lock);
    children = ChildrenOf(window);
  }
  for (HWND child : children) DestroyWindow(child);
  SendMessageA(window, WM_NCDESTROY, 0, 0);
  ForgetWindow(window);
  std::lock_guard<std::mutex> guard(tables.lock);
  tables.windows.erase(window);
  tables.order.erase(std::remove(tables.order.begin(), tables.order.end(), window),
                     tables.order.end());
  return TRUE;
}

BOOL IsWindow(HWND window) { return FindWindowEntry(window) ? TRUE : FALSE; }

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

BOOL IsZoomed(HWND window) {
  Window* entry = FindWindowEntry(window);
  return entry && entry->zoomed ? TRUE : FALSE;
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

LRESULT CallWindowProcA(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(window, message, wParam, lParam) : 0;
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

// Only this process's windows exist for the emulation.
BOOL EnumWindows(WNDENUMPROC callback, LPARAM param) {
  std::vector<HWND> windows;
  {
    Tables& tables = TheTables();
    std::lock_guard<std::mutex> guard(tables.lock);
    windows = ChildrenOf(nullptr);
  }
  for (HWND window : windows) {
    if (IsWindow(window) && !callback(window, param)) return FALSE;
  }
  return TRUE;
}

namespace {
bool EnumDescendants(HWND parent, WNDENUMPROC callback, LPARAM param) {
  std::vector<HWND> children;
  {
    Tables& tables = TheTables();
    std::lock_guard<std::mutex> guard(tables.lock);
    children = ChildrenOf(parent);
  }
  for (HWND child : children) {
    if (!IsWindow(child)) continue;
    if (!callback(child, param)) return false;
    if (!EnumDescendants(child, callback, param)) return false;
  }
  return true;
}
}  // namespace

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM param) {
  if (parent == nullptr) return EnumWindows(callback, param);
  return EnumDescendants(parent, callback, param) ? TRUE : FALSE;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
  Tables& tables = TheTables();
  std::lock_guard<std::mutex> guard(tables.lock);
  for (HWND window : ChildrenOf(nullptr)) {
    Window* entry = FindLocked(tables, window);
    if (className && Folded(className) != Folded(entry->className.c_str())) continue;
    if (windowName && entry->text != windowName) continue;
    return window;
  }
  return nullptr;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  Window* entry = FindWindowEntry(window);
  if (entry == nullptr || rect == nullptr) return FALSE;
  *rect = entry->rect;
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  Window* entry = FindWindowEntry(window);
  if (entry == nullptr || rect == nullptr) return FALSE;
  *rect = RECT{0, 0, entry->rect.right - entry->rect.left, entry->rect.bottom - entry->rect.top};
  return TRUE;
}

// Calls the window procedure directly: the emulation's windows all live in this process.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* entry = FindWindowEntry(window);
  if (entry == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return entry->proc(window, message, wParam, lParam);
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
