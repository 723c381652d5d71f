#include "framework/window_receiver.h"

#include <exception>

#include "framework/application.h"

namespace vrk {
namespace {

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* receiver = reinterpret_cast<WindowReceiver*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (receiver == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  try {
    return receiver->HandleMessage(window, message, wParam, lParam);
  } catch (...) {
    Application->HandleException(std::current_exception());
    return 0;
  }
}

}  // namespace

HWND CreateReceiverWindow(const char* className, WindowReceiver* receiver, DWORD style,
                          DWORD exStyle, const char* caption, int left, int top, int width,
                          int height, HWND parent) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA existing;
  if (!GetClassInfoA(instance, className, &existing)) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ReceiverProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    if (!RegisterClassA(&windowClass)) return nullptr;
  }
  return CreateWindowExA(exStyle, className, caption, style, left, top, width, height, parent,
                         nullptr, instance, receiver);
}

}  // namespace vrk
