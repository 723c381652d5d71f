// How the socket component waits: pumps the thread's queue, and sleeps only until the
// next message arrives (a socket event, a timer tick, a lookup reply, anything posted).
#pragma once

#include "platform/winapi.h"

namespace vrk {

// Dispatches every pending message of the thread.
void PumpMessages();

// Returns at once when a message waits in the queue; otherwise waits for the next one,
// at most `limitMs` milliseconds.
void WaitForMessage(DWORD limitMs);

// The short wait of the lookup, connect and accept loops.
constexpr DWORD kShortWaitMs = 2;
// A receive that would block is woken by the read or close event that follows; the
// bound only guards against a wake-up that never comes.
constexpr DWORD kReceiveWaitMs = 100;

// A send that would block gets no event when room appears (the component does not
// select write events), so it looks again after a wait that doubles while nothing moves.
class SendStallWait {
 public:
  void Progress() noexcept { waitMs_ = kFirstMs; }
  void Wait() {
    WaitForMessage(waitMs_);
    if (waitMs_ < kLastMs) waitMs_ *= 2;
  }

 private:
  static constexpr DWORD kFirstMs = 1;
  static constexpr DWORD kLastMs = 64;
  DWORD waitMs_ = kFirstMs;
};

}  // namespace vrk
