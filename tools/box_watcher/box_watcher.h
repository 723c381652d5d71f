// Watches a process for message boxes on its own thread: records each box's caption,
// text and icon, then presses OK, so that a test never blocks on a box.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tools/box_watcher/box_icon.h"

namespace vrk_test {

struct SeenBox {
  std::string caption;  // code page 1250 bytes, as the tool's own texts are compiled
  std::string text;
  BoxIcon icon = BoxIcon::None;
};

struct BoxWatcherTimes {
  std::chrono::milliseconds poll{20};
  // A box is drawn shortly after it becomes visible; its icon is read after this.
  std::chrono::milliseconds paint{100};
  // A box whose icon is still not recognised after this is recorded as Unknown.
  std::chrono::milliseconds iconLimit{1500};
  // A box still up this long after OK was pressed is pressed again.
  std::chrono::milliseconds repress{500};
};

class BoxWatcher {
 public:
  // Process id 0 watches this process.
  explicit BoxWatcher(DWORD processId = 0, BoxWatcherTimes times = {});
  ~BoxWatcher();
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  // The boxes seen so far, in the order they appeared.
  std::vector<SeenBox> Boxes() const;
  // True once `count` boxes have been seen; false when `limit` passes first.
  bool WaitFor(std::size_t count, std::chrono::milliseconds limit) const;
  // Takes one last look (a box shown just before the call is still recorded) and
  // ends the watching thread. Called by the destructor too.
  void Stop();

 private:
  struct Pressed {
    HWND box;
    std::chrono::steady_clock::time_point at;
  };
  void Watch();
  void Sweep();
  void Record(HWND box);

  DWORD processId_;
  BoxWatcherTimes times_;
  std::vector<Pressed> pressed_;  // boxes still up after being recorded and pressed
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<SeenBox> boxes_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace vrk_test
