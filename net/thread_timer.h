// TThreadTimer: fires OnTimer every Interval milliseconds while enabled, from a window
// timer on a hidden window of its own. It starts no thread: ticks run when the creating
// thread pumps its queue.
#pragma once

#include <cstdint>

#include "framework/component.h"
#include "framework/events.h"
#include "platform/winapi.h"

namespace vrk {

LRESULT CALLBACK TimerWindowProc(HWND Window, UINT Message, WPARAM First, LPARAM Second);

class TThreadTimer : public TComponent {
 public:
  explicit TThreadTimer(TComponent* owner);
  ~TThreadTimer() override;

  bool Enabled() const noexcept { return enabled_; }
  std::uint32_t Interval() const noexcept { return interval_; }
  const TNotifyEvent& OnTimer() const noexcept { return onTimer_; }
  HWND WindowHandle() const noexcept { return windowHandle_; }

  // A value equal to the current one changes nothing, so a running countdown goes on;
  // any other value restarts it. Raise Exception "No Timer" when the platform refuses.
  void SetEnabled(bool value);
  void SetInterval(std::uint32_t value);
  // Always restarts the countdown, even with the same handler.
  void SetOnTimer(TNotifyEvent value);

  // Applies the three properties to the platform timer (identifier 1 on WindowHandle).
  void UpdateTimer();
  // Called on each tick.
  virtual void Timer();

  static constexpr UINT_PTR kTimerId = 1;

 private:
  bool enabled_ = true;
  std::uint32_t interval_ = 1000;
  TNotifyEvent onTimer_;
  HWND windowHandle_ = nullptr;
};

}  // namespace vrk
