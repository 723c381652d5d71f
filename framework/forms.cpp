#include "framework/forms.h"

#include <exception>

#include "framework/application.h"

namespace vrk {

TForm::TForm(TComponent* owner) : TComponent(owner) {}

TForm::~TForm() {
  if (handle_ != nullptr) {
    HWND handle = handle_;
    handle_ = nullptr;
    SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
    DestroyWindow(handle);
  }
}

void TForm::AfterConstruction() {
  try {
    OnCreate(this);
  } catch (...) {
    Application->HandleException(std::current_exception());
  }
}

HWND TForm::Handle() {
  if (handle_ == nullptr) {
    DWORD style = BorderStyle == TFormBorderStyle::None ? WS_POPUP : WS_OVERLAPPED | WS_CAPTION;
    handle_ = CreateReceiverWindow(WindowClassName(), this, style, 0, Caption.c_str(), Left, Top,
                                   ClientWidth, ClientHeight, nullptr);
  }
  return handle_;
}

void TForm::Show() {
  if (visible_) return;
  visible_ = true;
  int command = windowState_ == TWindowState::Maximized   ? SW_SHOWMAXIMIZED
                : windowState_ == TWindowState::Minimized ? SW_SHOWMINIMIZED
                                                          : SW_SHOWNORMAL;
  ShowWindow(Handle(), command);
  OnShow(this);
}

void TForm::Hide() {
  if (!visible_) return;
  visible_ = false;
  if (handle_ != nullptr) ShowWindow(handle_, SW_HIDE);
}

void TForm::Close() {
  if (Application->MainForm() == this) {
    Application->Terminate();
  } else {
    Hide();
  }
}

void TForm::SetWindowState(TWindowState state) {
  windowState_ = state;
  if (visible_ && handle_ != nullptr) {
    ShowWindow(handle_, state == TWindowState::Maximized   ? SW_SHOWMAXIMIZED
                        : state == TWindowState::Minimized ? SW_SHOWMINIMIZED
                                                           : SW_RESTORE);
  }
}

LRESULT TForm::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    Close();
    return 0;
  }
  if (message == WM_NCDESTROY) handle_ = nullptr;
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace vrk
