// The thread timer and the hidden windows behind it and the socket component.
#include <gtest/gtest.h>

#include <memory>

#include "net/Psock.h"
#include "net/thread_timer.h"
#include "tests/net/net_test_support.h"

namespace vrk {
namespace {

using namespace net_test;

// True when a platform timer was running on the window; it is gone afterwards.
bool TimerWasSet(TThreadTimer& timer) {
  return KillTimer(timer.WindowHandle(), TThreadTimer::kTimerId) != FALSE;
}

TEST(ThreadTimer, SetsNoPlatformTimerWithIntervalZeroDisabledOrUnbound) {
  auto timer = std::make_unique<TThreadTimer>(nullptr);
  ASSERT_NE(timer->WindowHandle(), nullptr);
  EXPECT_TRUE(timer->Enabled());
  EXPECT_EQ(timer->Interval(), 1000u);

  timer->SetInterval(50);  // enabled, but no handler
  EXPECT_FALSE(TimerWasSet(*timer));

  int ticks = 0;
  timer->SetOnTimer([&](TObject*) { ++ticks; });
  EXPECT_TRUE(TimerWasSet(*timer));

  timer->SetOnTimer([&](TObject*) { ++ticks; });
  timer->SetInterval(0);
  EXPECT_FALSE(TimerWasSet(*timer));

  timer->SetInterval(20);
  timer->SetEnabled(false);
  EXPECT_FALSE(TimerWasSet(*timer));
  PumpFor(100ms);
  EXPECT_EQ(ticks, 0);
}

TEST(ThreadTimer, TicksRepeatWithTheTimerAsSender) {
  auto timer = std::make_unique<TThreadTimer>(nullptr);
  int ticks = 0;
  TObject* sender = nullptr;
  timer->SetInterval(20);
  timer->SetOnTimer([&](TObject* s) {
    sender = s;
    ++ticks;
  });
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 3; }, 5s));
  EXPECT_EQ(sender, timer.get());
}

// Milliseconds from the binding to the first tick, with `change` applied 250 ms in.
long long FirstTickAfter(const std::function<void(TThreadTimer&, const TNotifyEvent&)>& change) {
  auto timer = std::make_unique<TThreadTimer>(nullptr);
  Clock::time_point tick{};
  TNotifyEvent handler = [&](TObject*) {
    if (tick == Clock::time_point{}) tick = Clock::now();
  };
  timer->SetInterval(400);
  const auto start = Clock::now();
  timer->SetOnTimer(handler);
  PumpFor(250ms - (Clock::now() - start));
  if (tick != Clock::time_point{}) return -std::chrono::duration_cast<std::chrono::milliseconds>(tick - start).count();
  change(*timer, handler);
  PumpUntil([&] { return tick != Clock::time_point{}; }, 3s);
  return std::chrono::duration_cast<std::chrono::milliseconds>(tick - start).count();
}

TEST(ThreadTimer, SameValueKeepsTheCountdownAndRebindingRestartsIt) {
  const long long same = FirstTickAfter([](TThreadTimer& t, const TNotifyEvent&) {
    t.SetInterval(400);
    t.SetEnabled(true);
  });
  EXPECT_GE(same, 380);
  EXPECT_LT(same, 600) << "setting the current values restarted the countdown";

  const long long rebound =
      FirstTickAfter([](TThreadTimer& t, const TNotifyEvent& h) { t.SetOnTimer(h); });
  EXPECT_GE(rebound, 620) << "binding the handler again did not restart the countdown";

  const long long changed =
      FirstTickAfter([](TThreadTimer& t, const TNotifyEvent&) { t.SetInterval(401); });
  EXPECT_GE(changed, 620);
}

TEST(HiddenWindows, SecondOwnersReuseTheClassesAndLowMessagesGetDefaultProcessing) {
  auto first = std::make_unique<TSocketProbe>(nullptr);
  auto second = std::make_unique<TSocketProbe>(nullptr);
  ASSERT_NE(first->SocketTimer->WindowHandle(), nullptr);
  ASSERT_NE(second->SocketTimer->WindowHandle(), nullptr);
  EXPECT_NE(first->SocketTimer->WindowHandle(), second->SocketTimer->WindowHandle());

  // 1124 is below the notifications and gets the default processing; 1125 reaches the
  // component, which notes the error it carries.
  first->LastEventOk = true;
  SendMessageA(first->NotifyWindow, 1124, first->SocketHandle, WSAMAKESELECTREPLY(FD_READ, 10054));
  EXPECT_TRUE(first->LastEventOk);
  SendMessageA(first->NotifyWindow, kSocketEventMessage, first->SocketHandle,
               WSAMAKESELECTREPLY(FD_READ, 10054));
  EXPECT_FALSE(first->LastEventOk);

  WNDCLASSA info{};
  EXPECT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "PsockWindowClass", &info));
  EXPECT_EQ(info.lpfnWndProc, &SocketWindowProc);
  EXPECT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "TmrWindowClass", &info));
  EXPECT_EQ(info.lpfnWndProc, &TimerWindowProc);
}

}  // namespace
}  // namespace vrk
