#include "net/hidden_window.h"

namespace vrk {

HWND CreateHiddenWindow(const HiddenWindowClass& windowClass, void* owner) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA existing{};
  if (!GetClassInfoA(instance, windowClass.Name, &existing)) {
    WNDCLASSA description{};
    description.style = 0;
    description.lpfnWndProc = windowClass.Procedure;
    description.cbClsExtra = 0;
    // Room for the owner's address: 4 bytes on the 32-bit product, a pointer's width elsewhere.
    description.cbWndExtra = static_cast<int>(sizeof(LONG_PTR));
    description.hInstance = instance;
    description.lpszClassName = windowClass.Name;
    if (!RegisterClassA(&description)) return nullptr;
  }
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, windowClass.Name, "", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, instance, nullptr);
  if (window != nullptr && owner != nullptr) {
    SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(owner));
  }
  return window;
}

void* HiddenWindowOwner(HWND window) {
  return reinterpret_cast<void*>(GetWindowLongPtrA(window, 0));
}

}  // namespace vrk
