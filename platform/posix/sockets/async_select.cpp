// WSAAsyncSelect: the message pump of the registering thread polls the socket and turns
// readiness into Winsock's event messages. An event is posted again only after the call
// that consumes it (recv, send that would block, accept), so a socket that stays ready
// is not polled again meanwhile and the pump can sleep.
#include <memory>
#include <vector>

#include "platform/posix/sockets/socket_call.h"
#include "platform/posix/windows/message_queue.h"

namespace vrk_posix {
namespace io = socket_io;
namespace {

// Readiness the pump has to look at for this socket now; 0: leave it out of the poll.
short WatchedEvents(const SocketEntry& entry) {
  if (entry.events == 0) return 0;
  switch (entry.phase) {
    case SocketPhase::kConnecting:
      return entry.nonBlocking ? POLLOUT : 0;
    case SocketPhase::kListening:
      return (entry.events & FD_ACCEPT) && entry.acceptEnabled ? POLLIN : 0;
    case SocketPhase::kConnected: {
      short watched = 0;
      if (!entry.inputEnded && !entry.inputHeld && (entry.events & (FD_READ | FD_CLOSE))) {
        watched |= POLLIN;
      }
      if (!entry.inputEnded && (entry.events & FD_OOB) && entry.oobEnabled) watched |= POLLPRI;
      if ((entry.events & FD_WRITE) && entry.writeEnabled && entry.brokenError == 0) {
        watched |= POLLOUT;
      }
      return watched;
    }
    case SocketPhase::kFresh:
      break;
  }
  return 0;
}

void HandleInput(SocketEntry& entry) {
  int error = 0;
  switch (io::ProbeInput(entry.fd, &error)) {
    case io::Input::kData:
      entry.inputHeld = true;
      PostSelectEvent(entry, FD_READ, 0);
      break;
    case io::Input::kEndOfStream:
      // Reached only once the data before it has been read, as Winsock's graceful close.
      entry.inputEnded = true;
      if (entry.closeEnabled) PostSelectEvent(entry, FD_CLOSE, 0);
      entry.closeEnabled = false;
      break;
    case io::Input::kFailed:
      // The probe took the pending error off the socket; later calls must still see it.
      entry.inputEnded = true;
      entry.brokenError = error;
      if (entry.closeEnabled) PostSelectEvent(entry, FD_CLOSE, error);
      entry.closeEnabled = false;
      break;
    case io::Input::kNothing:
      break;
  }
}

void HandleReadiness(SocketEntry& entry, short watched, short ready) {
  constexpr short kTrouble = POLLERR | POLLHUP;
  switch (entry.phase) {
    case SocketPhase::kConnecting:
      RefreshConnect(entry);
      return;
    case SocketPhase::kListening:
      if (ready & (POLLIN | kTrouble)) {
        entry.acceptEnabled = false;
        PostSelectEvent(entry, FD_ACCEPT, 0);
      }
      return;
    case SocketPhase::kConnected:
      if ((watched & POLLPRI) && (ready & POLLPRI)) {
        entry.oobEnabled = false;
        PostSelectEvent(entry, FD_OOB, 0);
      }
      if ((watched & POLLIN) && (ready & (POLLIN | kTrouble))) HandleInput(entry);
      if ((watched & POLLOUT) && (ready & (POLLOUT | kTrouble))) {
        entry.writeEnabled = false;
        PostSelectEvent(entry, FD_WRITE, 0);
      }
      return;
    case SocketPhase::kFresh:
      return;
  }
}

struct Watched {
  std::weak_ptr<SocketEntry> entry;
  SOCKET handle;
  short events;
};

// One object per thread that registered sockets; each polls the sockets of its thread.
class SelectWaitSource : public WaitSource {
 public:
  void CollectPollFds(std::vector<pollfd>& fds) override {
    watched_.clear();
    DWORD self = GetCurrentThreadId();
    std::lock_guard<std::mutex> guard(SocketTableLock());
    for (auto& [handle, entry] : AllSockets()) {
      if (entry->pumpThread != self) continue;
      short events = WatchedEvents(*entry);
      if (events == 0) continue;
      watched_.push_back(Watched{entry, handle, events});
      fds.push_back(pollfd{entry->fd, events, 0});
    }
  }

  void HandlePollResults(const pollfd* fds, std::size_t count) override {
    std::lock_guard<std::mutex> guard(SocketTableLock());
    for (std::size_t i = 0; i < count && i < watched_.size(); ++i) {
      if (fds[i].revents == 0) continue;
      std::shared_ptr<SocketEntry> entry = watched_[i].entry.lock();
      // Closed or registered anew meanwhile: what was seen no longer applies.
      if (!entry || FindSocket(watched_[i].handle) != entry) continue;
      if (WatchedEvents(*entry) != watched_[i].events) continue;
      HandleReadiness(*entry, watched_[i].events, fds[i].revents);
    }
    watched_.clear();
  }

 private:
  std::vector<Watched> watched_;
};

}  // namespace

void WatchSocketsOnThisThread() {
  // Plain thread-locals, and the source kept for the process's life as the thread's queue is:
  // a thread-local object with a destructor would be registered at first use, and that
  // registration ends the process when memory has run out.
  thread_local SelectWaitSource* source = nullptr;
  thread_local bool added = false;
  if (added) return;
  if (source == nullptr) source = new SelectWaitSource();
  AddWaitSource(source);
  added = true;
}

void PostSelectEvent(SocketEntry& entry, long event, int error) {
  if ((entry.events & event) == 0) return;
  PostMessageA(entry.window, entry.message, static_cast<WPARAM>(entry.handle),
               WSAMAKESELECTREPLY(static_cast<unsigned>(event), static_cast<unsigned>(error)));
}

void CompleteConnect(SocketEntry& entry, int error) {
  if (error != 0) {
    entry.phase = SocketPhase::kFresh;
    io::ForgetFailedConnect(entry.fd);
    PostSelectEvent(entry, FD_CONNECT, error);
    return;
  }
  entry.phase = SocketPhase::kConnected;
  entry.bound = true;
  PostSelectEvent(entry, FD_CONNECT, 0);
  // Winsock announces the first chance to send right after the connect.
  if (entry.events & FD_WRITE) {
    entry.writeEnabled = false;
    PostSelectEvent(entry, FD_WRITE, 0);
  } else {
    entry.writeEnabled = true;
  }
}

void RefreshConnect(SocketEntry& entry) {
  if (entry.phase != SocketPhase::kConnecting || !entry.nonBlocking) return;
  io::Outcome outcome = io::FinishConnect(entry.fd);
  if (outcome.Failed()) {
    CompleteConnect(entry, outcome.error);
  } else if (outcome.value == 1) {
    CompleteConnect(entry, 0);
  }
}

}  // namespace vrk_posix

namespace vrk_winsock {

int WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events) {
  vrk_posix::SocketCall call(s);
  if (call.Error() != 0) return vrk_posix::FailWith(call.Error());
  vrk_posix::SocketEntry& entry = call.Entry();
  if (events != 0 && !IsWindow(window)) return vrk_posix::FailWith(WSAEINVAL);
  if (events != 0 && !entry.nonBlocking) {
    vrk_posix::socket_io::Outcome outcome = vrk_posix::socket_io::SetNonBlocking(entry.fd, true);
    if (outcome.Failed()) return vrk_posix::FailWith(outcome.error);
    entry.nonBlocking = true;
  }
  // A new registration replaces the old one and starts with every event enabled.
  entry.window = window;
  entry.message = message;
  entry.events = events & (FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE);
  entry.pumpThread = GetCurrentThreadId();
  entry.inputHeld = false;
  entry.writeEnabled = true;
  entry.oobEnabled = true;
  entry.acceptEnabled = true;
  entry.closeEnabled = true;
  if (entry.events == 0) return 0;
  vrk_posix::WatchSocketsOnThisThread();
  // Winsock posts FD_CONNECT, and FD_CLOSE, at once for what has happened already.
  if (entry.phase == vrk_posix::SocketPhase::kConnected) {
    vrk_posix::PostSelectEvent(entry, FD_CONNECT, 0);
    if (entry.inputEnded) {
      entry.closeEnabled = false;
      vrk_posix::PostSelectEvent(entry, FD_CLOSE, entry.brokenError);
    }
  }
  return 0;
}

}  // namespace vrk_winsock
