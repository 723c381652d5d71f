// Window classes: registered by name, found again without regard to letter case.
#include "platform/posix/windows/window_classes.h"

#include <map>
#include <mutex>

#include "base/ascii.h"
#include "platform/posix/windows/edit_control.h"

namespace vrk_posix {
namespace {

std::string Folded(const char* name) {
  std::string result = name ? name : "";
  for (char& c : result) {
    c = vrk::ascii::Upper(c);
  }
  return result;
}

struct Classes {
  std::mutex lock;  // classes may be registered on any thread
  std::map<std::string, WindowClass> byName;  // keyed by the folded name

  Classes() { byName["EDIT"] = WindowClass{"EDIT", EditControlProc, 0, nullptr}; }
};

// Never destroyed: windows may still be made while other static objects go away.
Classes& TheClasses() {
  static auto* classes = new Classes();
  return *classes;
}

}  // namespace

std::optional<WindowClass> FindWindowClass(const char* name) {
  Classes& classes = TheClasses();
  std::lock_guard<std::mutex> guard(classes.lock);
  auto it = classes.byName.find(Folded(name));
  if (it == classes.byName.end()) return std::nullopt;
  return it->second;
}

bool SameClassName(const std::string& name, const char* other) {
  return Folded(name.c_str()) == Folded(other);
}

}  // namespace vrk_posix

using namespace vrk_posix;

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
      windowClass->lpfnWndProc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Classes& classes = TheClasses();
  std::lock_guard<std::mutex> guard(classes.lock);
  std::string key = Folded(windowClass->lpszClassName);
  if (classes.byName.count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  classes.byName[key] = WindowClass{windowClass->lpszClassName, windowClass->lpfnWndProc,
                                    windowClass->cbWndExtra, windowClass->hInstance};
  return static_cast<ATOM>(0xC000 + classes.byName.size());
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR className, WNDCLASSA* windowClass) {
  std::optional<WindowClass> found = FindWindowClass(className);
  if (!found) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (windowClass) {
    *windowClass = WNDCLASSA{};
    windowClass->lpfnWndProc = found->proc;
    windowClass->cbWndExtra = found->windowExtra;
    windowClass->hInstance = found->instance;
    windowClass->lpszClassName = className;
  }
  return TRUE;
}
