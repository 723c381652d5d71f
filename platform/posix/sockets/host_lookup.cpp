// gethostbyname and WSAAsyncGetHostByName over the system resolver.
//
// The asynchronous lookup runs on a detached thread. Like Winsock it fills the caller's
// buffer before it posts the reply; it does both under the lock that
// WSACancelAsyncRequest takes, and only while the task is still pending, so once a
// cancel has succeeded the buffer (which the caller may then free) is never written.
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/posix/sockets/host_entry.h"
#include "platform/posix/sockets/socket_table.h"

namespace vrk_posix {
namespace {

struct Task {
  HWND window;
  UINT message;
  char* buffer;
  int capacity;
};

struct Lookups {
  std::mutex lock;
  std::map<std::uintptr_t, Task> pending;
  std::uintptr_t lastHandle = 0;
};

Lookups& TheLookups() {
  static auto* lookups = new Lookups();
  return *lookups;
}

// The thread's whole work; nothing may leave it, or the process would end.
void RunLookup(std::uintptr_t handle, std::string name, char* buffer, int capacity) noexcept {
  int error = 0;
  int length = 0;
  std::vector<char> image;
  try {
    HostAddresses host = LookUpHost(name);
    error = WsaErrorOfLookup(host.failure);
    if (error == 0) {
      length = HostEntrySize(host, buffer);
      if (length > capacity) {
        error = WSAENOBUFS;  // the reply tells the length that would have been needed
      } else {
        BuildHostEntry(host, buffer, image);
      }
    }
  } catch (...) {
    // Memory ran out on the way: the reply says so, as Winsock's does.
    error = WSAENOBUFS;
    length = 0;
    image.clear();
  }
  // A reply that could not be queued for want of memory is tried again until it is, or the
  // task is canceled: the caller waits for it.
  Lookups& lookups = TheLookups();
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(lookups.lock);
      auto it = lookups.pending.find(handle);
      if (it == lookups.pending.end()) return;  // canceled
      const Task task = it->second;
      if (!image.empty()) std::memcpy(task.buffer, image.data(), image.size());
      try {
        PostMessageA(task.window, task.message, static_cast<WPARAM>(handle),
                     WSAMAKEASYNCREPLY(static_cast<unsigned>(error == WSAENOBUFS || error == 0 ? length : 0),
                                       static_cast<unsigned>(error)));
        lookups.pending.erase(it);
        return;
      } catch (...) {
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool Started() {
  std::lock_guard<std::mutex> guard(SocketTableLock());
  return WinsockStarted();
}

}  // namespace
}  // namespace vrk_posix

namespace vrk_winsock {

HANDLE WSAAsyncGetHostByName(HWND window, u_int message, const char* name, char* buffer,
                             int bufferLength) {
  using namespace vrk_posix;
  if (!Started()) return FailWith(WSANOTINITIALISED), nullptr;
  if (name == nullptr || bufferLength < 0 || (buffer == nullptr && bufferLength > 0)) {
    return FailWith(WSAEFAULT), nullptr;
  }
  Lookups& lookups = TheLookups();
  std::lock_guard<std::mutex> guard(lookups.lock);
  std::uintptr_t handle = ++lookups.lastHandle;
  lookups.pending[handle] = Task{window, message, buffer, bufferLength};
  try {
    std::thread(RunLookup, handle, std::string(name), buffer, bufferLength).detach();
  } catch (const std::exception&) {
    lookups.pending.erase(handle);
    return FailWith(WSAENOBUFS), nullptr;
  }
  return reinterpret_cast<HANDLE>(handle);
}

int WSACancelAsyncRequest(HANDLE task) {
  using namespace vrk_posix;
  if (!Started()) return FailWith(WSANOTINITIALISED);
  auto handle = reinterpret_cast<std::uintptr_t>(task);
  Lookups& lookups = TheLookups();
  std::lock_guard<std::mutex> guard(lookups.lock);
  if (lookups.pending.erase(handle) == 1) return 0;
  // A handle that was given out has finished already; any other is no task at all.
  return FailWith(handle != 0 && handle <= lookups.lastHandle ? WSAEALREADY : WSAEINVAL);
}

hostent* gethostbyname(const char* name) {
  using namespace vrk_posix;
  if (!Started()) return FailWith(WSANOTINITIALISED), nullptr;
  if (name == nullptr) return FailWith(WSAEFAULT), nullptr;
  // Per thread, as Winsock's own storage for this call.
  alignas(hostent) thread_local char storage[MAXGETHOSTSTRUCT];
  HostAddresses host = LookUpHost(name);
  if (int error = WsaErrorOfLookup(host.failure)) return FailWith(error), nullptr;
  if (HostEntrySize(host, storage) > MAXGETHOSTSTRUCT) return FailWith(WSAENOBUFS), nullptr;
  std::vector<char> image;
  BuildHostEntry(host, storage, image);
  std::memcpy(storage, image.data(), image.size());
  return reinterpret_cast<hostent*>(storage);
}

}  // namespace vrk_winsock
