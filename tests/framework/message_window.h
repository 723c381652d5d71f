// A plain window of the test's own class, for messages the test posts into a running loop.
#pragma once

#include "platform/winapi.h"

namespace vrk_test {

inline HWND MakeMessageWindow(const char* className, WNDPROC proc) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = proc;
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);  // a second registration fails harmlessly
  return CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace vrk_test
