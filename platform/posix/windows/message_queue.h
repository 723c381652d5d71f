// The per-thread message queue of the emulation, and the hooks through which
// other parts of it (sockets, name lookups) wake a waiting thread or post events.
#pragma once

#include <poll.h>

#include <vector>

#include "platform/posix/win32.h"

namespace vrk_posix {

// Something a waiting thread must watch besides its queue: descriptors to poll
// and what to post when they are ready. Registered per thread.
class WaitSource {
 public:
  virtual ~WaitSource() = default;
  // Appends the descriptors to watch now.
  virtual void CollectPollFds(std::vector<pollfd>& fds) = 0;
  // Receives the same descriptors back with their results; posts what is due.
  virtual void HandlePollResults(const pollfd* fds, std::size_t count) = 0;
};

void AddWaitSource(WaitSource* source);
void RemoveWaitSource(WaitSource* source);

// Posts to the queue of the thread that owns the window; wakes it if it waits.
bool PostToWindowThread(HWND window, DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);

// Drops every posted message and timer of a window that is being destroyed.
void ForgetWindow(HWND window);

}  // namespace vrk_posix
