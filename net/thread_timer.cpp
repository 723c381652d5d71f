#include "net/thread_timer.h"

#include <exception>

#include "framework/application.h"
#include "framework/exceptions.h"
#include "net/hidden_window.h"

namespace vrk {
namespace {
const HiddenWindowClass kTimerWindowClass{"TmrWindowClass", TimerWindowProc};
}  // namespace

LRESULT CALLBACK TimerWindowProc(HWND Window, UINT Message, WPARAM First, LPARAM Second) {
  auto* timer = static_cast<TThreadTimer*>(HiddenWindowOwner(Window));
  if (timer == nullptr) return DefWindowProcA(Window, Message, First, Second);
  switch (Message) {
    case WM_ACTIVATEAPP:
      return 0;
    case WM_TIMER:
      // A tick's failure is the user's to see; it must not reach the wait that pumped it.
      try {
        timer->Timer();
      } catch (...) {
        try {
          Application->HandleException(std::current_exception());
        } catch (...) {
        }
      }
      return 0;
    default:
      return DefWindowProcA(Window, Message, First, Second);
  }
}

TThreadTimer::TThreadTimer(TComponent* owner) : TComponent(owner) {
  windowHandle_ = CreateHiddenWindow(kTimerWindowClass, this);
}

TThreadTimer::~TThreadTimer() {
  enabled_ = false;
  try {
    UpdateTimer();
  } catch (...) {
  }
  if (windowHandle_ != nullptr) DestroyWindow(windowHandle_);
}

void TThreadTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTimer();
}

void TThreadTimer::SetInterval(std::uint32_t value) {
  if (value == interval_) return;
  interval_ = value;
  UpdateTimer();
}

void TThreadTimer::SetOnTimer(TNotifyEvent value) {
  onTimer_ = std::move(value);
  UpdateTimer();
}

void TThreadTimer::UpdateTimer() {
  KillTimer(windowHandle_, kTimerId);
  if (interval_ != 0 && enabled_ && onTimer_.Assigned()) {
    if (SetTimer(windowHandle_, kTimerId, interval_, nullptr) == 0) throw Exception("No Timer");
  }
}

void TThreadTimer::Timer() { onTimer_(this); }

}  // namespace vrk
