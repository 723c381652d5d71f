// Message queues, window timers and waiting without spinning.
#include "platform/posix/windows/message_queue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/posix/windows/window_table.h"

namespace vrk_posix {
namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  HWND window;
  UINT_PTR id;
  std::chrono::milliseconds interval;
  Clock::time_point due;
  TIMERPROC proc;
};

// A thread's queue. Other threads may post to it, so the posted messages and
// the wake counter are guarded; timers and wait sources belong to the thread alone.
struct Queue {
  std::mutex lock;
  std::deque<MSG> posted;
  bool quitPosted = false;
  int quitCode = 0;
  int wake = -1;  // an event counter: one descriptor, cheaper to make than a pipe
  bool wakePending = false;

  std::vector<Timer> timers;
  std::vector<WaitSource*> sources;

  Queue() : wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~Queue() {
    if (wake >= 0) close(wake);
  }

  // Called with `lock` held.
  void WakeLocked() {
    if (wakePending || wake < 0) return;
    wakePending = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t ignored = write(wake, &one, sizeof one);
  }
  void DrainWake() {
    std::uint64_t count;
    [[maybe_unused]] ssize_t ignored = read(wake, &count, sizeof count);
    std::lock_guard<std::mutex> guard(lock);
    wakePending = false;
  }
};

std::mutex registryLock;
std::map<DWORD, std::shared_ptr<Queue>>& Registry() {
  static auto* queues = new std::map<DWORD, std::shared_ptr<Queue>>();
  return *queues;
}

std::shared_ptr<Queue> QueueOf(DWORD threadId) {
  std::lock_guard<std::mutex> guard(registryLock);
  auto& slot = Registry()[threadId];
  if (!slot) slot = std::make_shared<Queue>();
  return slot;
}

// The registry keeps every queue, so a thread holds a plain pointer to its own: a thread-local
// object with a destructor would have the C library register it at first use, and that
// registration ends the process when memory has run out.
Queue& CurrentQueue() {
  thread_local Queue* queue = nullptr;
  if (queue == nullptr) queue = QueueOf(GetCurrentThreadId()).get();
  return *queue;
}

bool Matches(const MSG& msg, HWND window, UINT low, UINT high) {
  if (window != nullptr && msg.hwnd != window) return false;
  if (low == 0 && high == 0) return true;
  return msg.message >= low && msg.message <= high;
}

DWORD NowTicks() { return GetTickCount(); }

// Polls the wake counter and the wait sources; waits at most `timeoutMs` (-1: no limit).
void PollSources(Queue& queue, int timeoutMs) {
  std::vector<pollfd> fds;
  if (queue.wake >= 0) fds.push_back({queue.wake, POLLIN, 0});
  std::vector<std::size_t> starts;
  std::vector<WaitSource*> sources = queue.sources;
  for (WaitSource* source : sources) {
    starts.push_back(fds.size());
    source->CollectPollFds(fds);
  }
  int ready = poll(fds.data(), fds.size(), timeoutMs);
  if (ready <= 0) return;
  if (!fds.empty() && fds[0].fd == queue.wake && fds[0].revents) queue.DrainWake();
  for (std::size_t i = 0; i < sources.size(); ++i) {
    std::size_t end = i + 1 < sources.size() ? starts[i + 1] : fds.size();
    if (std::find(queue.sources.begin(), queue.sources.end(), sources[i]) == queue.sources.end()) continue;
    sources[i]->HandlePollResults(fds.data() + starts[i], end - starts[i]);
  }
}

// Takes a posted message that matches; with `remove` false it stays queued.
bool TakePosted(Queue& queue, MSG* out, HWND window, UINT low, UINT high, bool remove) {
  std::lock_guard<std::mutex> guard(queue.lock);
  for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
    if (!Matches(*it, window, low, high)) continue;
    *out = *it;
    if (remove) queue.posted.erase(it);
    return true;
  }
  return false;
}

bool TakeQuit(Queue& queue, MSG* out, bool remove) {
  std::lock_guard<std::mutex> guard(queue.lock);
  if (!queue.quitPosted) return false;
  *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0, NowTicks(), {0, 0}};
  if (remove) queue.quitPosted = false;
  return true;
}

// A due timer yields one WM_TIMER, which restarts its countdown, as on Windows.
bool TakeTimer(Queue& queue, MSG* out, HWND window, UINT low, UINT high, bool remove) {
  MSG probe{nullptr, WM_TIMER, 0, 0, 0, {0, 0}};
  auto now = Clock::now();
  for (Timer& timer : queue.timers) {
    probe.hwnd = timer.window;
    if (timer.due > now || !Matches(probe, window, low, high)) continue;
    *out = MSG{timer.window, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc), NowTicks(),
               {0, 0}};
    if (remove) timer.due = now + timer.interval;
    return true;
  }
  return false;
}

bool Retrieve(Queue& queue, MSG* out, HWND window, UINT low, UINT high, bool remove) {
  return TakePosted(queue, out, window, low, high, remove) || TakeQuit(queue, out, remove) ||
         TakeTimer(queue, out, window, low, high, remove);
}

// Milliseconds until the next timer is due, -1 when there is none.
int MillisecondsToNextTimer(const Queue& queue) {
  if (queue.timers.empty()) return -1;
  auto next = queue.timers.front().due;
  for (const Timer& timer : queue.timers) next = std::min(next, timer.due);
  auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
  return wait < 0 ? 0 : static_cast<int>(std::min<long long>(wait, 1 << 30));
}

bool HasPostedOrQuit(Queue& queue) {
  std::lock_guard<std::mutex> guard(queue.lock);
  return !queue.posted.empty() || queue.quitPosted;
}

// Waits until a message, a due timer or a source event is there, or the time is up.
// Returns false when the time ran out.
bool WaitForInput(Queue& queue, long long timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    PollSources(queue, 0);
    if (HasPostedOrQuit(queue)) return true;
    int wait = MillisecondsToNextTimer(queue);
    if (wait == 0) return true;
    if (timeoutMs >= 0) {
      auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      if (wait < 0 || wait > left) wait = static_cast<int>(std::min<long long>(left, 1 << 30));
    }
    PollSources(queue, wait);
  }
}

}  // namespace

void AddWaitSource(WaitSource* source) { CurrentQueue().sources.push_back(source); }

void RemoveWaitSource(WaitSource* source) {
  auto& sources = CurrentQueue().sources;
  sources.erase(std::remove(sources.begin(), sources.end(), source), sources.end());
}

bool PostToWindowThread(HWND window, DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  std::shared_ptr<Queue> queue = QueueOf(threadId);
  std::lock_guard<std::mutex> guard(queue->lock);
  queue->posted.push_back(MSG{window, message, wParam, lParam, NowTicks(), {0, 0}});
  // A thread posting to itself is not waiting; only other threads need to wake it.
  if (threadId != GetCurrentThreadId()) queue->WakeLocked();
  return true;
}

void ForgetWindow(HWND window) {
  Queue& queue = CurrentQueue();
  auto& timers = queue.timers;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [window](const Timer& t) { return t.window == window; }),
               timers.end());
  std::lock_guard<std::mutex> guard(queue.lock);
  auto& posted = queue.posted;
  posted.erase(std::remove_if(posted.begin(), posted.end(),
                              [window](const MSG& m) { return m.hwnd == window; }),
               posted.end());
}

}  // namespace vrk_posix

using namespace vrk_posix;

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == nullptr) return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
  DWORD threadId = 0;
  if (!WindowThread(window, &threadId)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return PostToWindowThread(window, threadId, message, wParam, lParam) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  return PostToWindowThread(nullptr, threadId, message, wParam, lParam) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode) {
  Queue& queue = CurrentQueue();
  std::lock_guard<std::mutex> guard(queue.lock);
  queue.quitPosted = true;
  queue.quitCode = exitCode;
}

BOOL PeekMessageA(LPMSG msg, HWND window, UINT low, UINT high, UINT removeFlags) {
  Queue& queue = CurrentQueue();
  PollSources(queue, 0);
  return Retrieve(queue, msg, window, low, high, (removeFlags & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT low, UINT high) {
  Queue& queue = CurrentQueue();
  for (;;) {
    PollSources(queue, 0);
    if (Retrieve(queue, msg, window, low, high, true)) return msg->message == WM_QUIT ? FALSE : TRUE;
    WaitMessage();
  }
}

BOOL WaitMessage() {
  Queue& queue = CurrentQueue();
  for (;;) {
    PollSources(queue, 0);
    if (HasPostedOrQuit(queue)) return TRUE;
    int wait = MillisecondsToNextTimer(queue);
    if (wait == 0) return TRUE;
    PollSources(queue, wait);
  }
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE*, BOOL, DWORD milliseconds, DWORD) {
  // Only the queue is waited for: the tool passes no objects.
  if (count != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  Queue& queue = CurrentQueue();
  long long timeout = milliseconds == INFINITE ? -1 : static_cast<long long>(milliseconds);
  if (timeout < 0) {
    WaitMessage();
    return WAIT_OBJECT_0;
  }
  return WaitForInput(queue, timeout) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  if (window != nullptr && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  Queue& queue = CurrentQueue();
  // Windows clamps intervals below 10 ms (USER_TIMER_MINIMUM).
  auto interval = std::chrono::milliseconds(std::max<UINT>(elapse, 10));
  if (window == nullptr) {
    static UINT_PTR nextId = 0x7FFF0000;
    id = ++nextId;
  }
  for (Timer& timer : queue.timers) {
    if (timer.window == window && timer.id == id) {
      timer.interval = interval;
      timer.due = Clock::now() + interval;
      timer.proc = proc;
      return window == nullptr ? id : 1;
    }
  }
  queue.timers.push_back(Timer{window, id, interval, Clock::now() + interval, proc});
  return window == nullptr ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  auto& timers = CurrentQueue().timers;
  auto it = std::find_if(timers.begin(), timers.end(),
                         [&](const Timer& t) { return t.window == window && t.id == id; });
  if (it == timers.end()) return FALSE;
  timers.erase(it);
  return TRUE;
}
