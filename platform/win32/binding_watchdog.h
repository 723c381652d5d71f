// Ends a URL download that shows no sign of progress for a while. The service does not
// return after a connection reset in the middle of a body, and while it waits it neither
// calls back nor dispatches the thread's messages (so no window timer fires); only another
// thread can end it then, through the binding's Abort.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/winapi.h"

namespace vrk {

class BindingWatchdog {
 public:
  // The clock starts now.
  explicit BindingWatchdog(std::chrono::milliseconds limit);
  ~BindingWatchdog();
  BindingWatchdog(const BindingWatchdog&) = delete;
  BindingWatchdog& operator=(const BindingWatchdog&) = delete;

  // The binding to abort (kept referenced), or null once it has stopped. Counts as progress.
  void Watch(IBinding* binding);
  // Any call from the service: the clock starts again.
  void Progress();
  // Whether the binding was aborted for want of progress.
  bool Fired() const;

 private:
  void Run();

  const std::chrono::milliseconds limit_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::chrono::steady_clock::time_point lastProgress_;
  IBinding* binding_ = nullptr;
  bool fired_ = false;
  bool stopping_ = false;
  std::thread thread_;  // last, so that it starts with everything above in place
};

}  // namespace vrk
