#include "framework/application.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "framework/forms.h"

namespace vrk {

namespace {
TApplication theApplication;
}

TApplication* Application = &theApplication;

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() {
  // The forms go while the application is whole: their destructors may still reach it.
  DestroyComponents();
  if (handle_ != nullptr) DestroyWindow(handle_);
}

void TApplication::SetTitle(std::string_view title) noexcept {
  const std::size_t length = std::min(title.size(), sizeof title_ - 1);
  std::memcpy(title_, title.data(), length);
  title_[length] = 0;
}

void TApplication::Initialize() {
  CoInitialize(nullptr);
  // The thread's message queue is made now, before any work needs it.
  MSG msg;
  PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
}

HWND TApplication::Handle() {
  if (handle_ == nullptr) {
    handle_ = CreateReceiverWindow("TApplication", this, WS_POPUP | WS_CAPTION, 0,
                                   title_, 0, 0, 0, 0, nullptr);
  }
  return handle_;
}

LRESULT TApplication::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SIZE && wParam == SIZE_RESTORED && showMainFormOnRestore_) {
    // Restored from the task bar: the main form is shown now, and its show handler runs.
    showMainFormOnRestore_ = false;
    ShowMainForm();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void TApplication::ShowMainForm() {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  bool maximised = (startup.dwFlags & STARTF_USESHOWWINDOW) && startup.wShowWindow == SW_SHOWMAXIMIZED;
  if (maximised) mainForm_->SetWindowState(TWindowState::Maximized);
  mainForm_->Show();
}

void TApplication::Run() {
  if (mainForm_ != nullptr) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    bool minimised = (startup.dwFlags & STARTF_USESHOWWINDOW) &&
                     (startup.wShowWindow == SW_SHOWMINNOACTIVE ||
                      startup.wShowWindow == SW_SHOWMINIMIZED || startup.wShowWindow == SW_MINIMIZE);
    if (minimised) {
      Minimize();
    } else {
      try {
        ShowMainForm();
      } catch (...) {
        HandleException(std::current_exception());
        terminated_ = true;
      }
    }
  }
  while (!terminated_) {
    if (!ProcessMessage()) WaitMessage();
  }
}

bool TApplication::ProcessMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  while (!terminated_ && ProcessMessage()) {
  }
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::Minimize() {
  // Made before the flag is set: a new window is told a restored size of its own at creation,
  // which must not count as the user restoring the application.
  HWND window = Handle();
  showMainFormOnRestore_ = mainForm_ != nullptr && !mainForm_->Visible();
  ShowWindow(window, SW_SHOWMINNOACTIVE);
}

void TApplication::Restore() { ShowWindow(Handle(), SW_RESTORE); }

Text TApplication::ReportText(const Text& message) {
  if (!message.IsEmpty() && static_cast<unsigned char>(message[message.Length()]) > '.') {
    return message + '.';
  }
  return message;
}

void TApplication::ShowException(const Exception& error) noexcept {
  try {
    Text text = ReportText(error.Message());
    MessageBoxA(Handle(), text.c_str(), title_, MB_OK | MB_ICONERROR);
  } catch (...) {
    MessageBoxA(handle_, error.Message().c_str(), title_, MB_OK | MB_ICONERROR);
  }
}

void TApplication::ShowOutOfMemory() noexcept {
  // The library's own word for it says nothing to a user.
  MessageBoxA(handle_, "Out of memory.", title_, MB_OK | MB_ICONERROR);
}

void TApplication::ShowException(std::exception_ptr error) noexcept {
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    ShowException(e);
  } catch (const std::bad_alloc&) {
    ShowOutOfMemory();
  } catch (const std::exception& e) {
    try {
      ShowException(Exception(e.what()));
    } catch (...) {
      MessageBoxA(handle_, e.what(), title_, MB_OK | MB_ICONERROR);
    }
  } catch (...) {
    MessageBoxA(handle_, "Unknown error.", title_, MB_OK | MB_ICONERROR);
  }
}

void TApplication::HandleException(std::exception_ptr error) noexcept {
  if (OnException.Assigned()) {
    try {
      OnException(this, error);
      return;
    } catch (...) {
    }
  }
  ShowException(error);
}

}  // namespace vrk
