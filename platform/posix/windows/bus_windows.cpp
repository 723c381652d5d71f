// Stand-in handles for objects on the accessibility bus. A handle keeps its object, and its
// reference, for the rest of the run, so the same object is always the same handle.
#include "platform/posix/windows/bus_windows.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <new>
#include <string>

#include "platform/posix/windows/accessibility_bus.h"
#include "platform/posix/windows/window_table.h"

namespace vrk_posix {
namespace {

// Far above the emulation's own handles, which count up from 0x10000.
constexpr std::uintptr_t kFirstBusHandle = 0x40000000;

struct BusHandles {
  std::mutex lock;
  std::map<HWND, BusObject> objects;
  std::map<BusObject, HWND> handles;
  std::uintptr_t next = kFirstBusHandle;
};

// Made in place and never destroyed: IsWindow asks it from destructors, which must not need
// memory, and handles may still be asked about while the process ends.
BusHandles& TheHandles() {
  alignas(BusHandles) static unsigned char storage[sizeof(BusHandles)];
  static BusHandles* handles = new (storage) BusHandles();
  return *handles;
}

// The handle for an object the caller holds a reference to; the table takes that reference.
HWND HandleFor(BusObject object) {
  BusHandles& table = TheHandles();
  std::lock_guard<std::mutex> guard(table.lock);
  if (auto known = table.handles.find(object); known != table.handles.end()) {
    ReleaseBusObject(object);
    return known->second;
  }
  HWND handle = reinterpret_cast<HWND>(table.next);
  table.next += 4;
  table.objects[handle] = object;
  table.handles[object] = handle;
  return handle;
}

BusObject ObjectOf(HWND window) {
  BusHandles& table = TheHandles();
  std::lock_guard<std::mutex> guard(table.lock);
  auto found = table.objects.find(window);
  return found == table.objects.end() ? nullptr : found->second;
}

// Copied as any window text is, but never cut within a character, so it stays UTF-8.
std::size_t CopyWholeCharacters(const std::string& text, char* buffer, std::size_t size) {
  std::size_t count = std::min(text.size(), size == 0 ? 0 : size - 1);
  if (count < text.size()) {
    while (count > 0 && (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80) --count;
  }
  return CopyWindowText(std::string_view(text).substr(0, count), buffer, size);
}

}  // namespace

bool IsBusWindow(HWND window) { return ObjectOf(window) != nullptr; }

bool EnumBusWindows(WNDENUMPROC callback, LPARAM param) {
  // Every handle is made before the first call back, so that the caller stopping early
  // leaves no reference behind.
  std::vector<HWND> windows;
  for (BusObject object : BusTopLevelWindows()) windows.push_back(HandleFor(object));
  for (HWND window : windows) {
    if (!callback(window, param)) return false;
  }
  return true;
}

bool EnumBusDescendants(HWND window, WNDENUMPROC callback, LPARAM param) {
  return ForEachBusDescendant(ObjectOf(window), [&](BusObject descendant) {
    return callback(HandleFor(RetainBusObject(descendant)), param) != FALSE;
  });
}

LRESULT BusWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  BusObject object = ObjectOf(window);
  switch (message) {
    case WM_GETTEXT: {
      // A field may hold a book; no more characters cross the bus than the buffer takes bytes.
      const int wanted = static_cast<int>(std::min<WPARAM>(wParam, 1 << 20));
      return static_cast<LRESULT>(CopyWholeCharacters(BusObjectText(object, wanted),
                                                      reinterpret_cast<char*>(lParam), wParam));
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(BusObjectText(object).size());
    case WM_SETTEXT:
      return ReplaceBusText(object, reinterpret_cast<const char*>(lParam)) ? TRUE : FALSE;
    default:
      return 0;
  }
}

}  // namespace vrk_posix
