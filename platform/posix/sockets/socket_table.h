// The emulated sockets of the process: handles, their POSIX descriptors, their state and
// their WSAAsyncSelect registration. One lock guards the table and every entry's state;
// blocking calls run outside it, holding only a reference to their entry.
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "platform/posix/win32.h"

namespace vrk_posix {

enum class SocketPhase { kFresh, kConnecting, kConnected, kListening };

struct SocketEntry {
  explicit SocketEntry(int descriptor) : fd(descriptor) {}
  ~SocketEntry();  // closes the descriptor, once no call uses the entry any more
  SocketEntry(const SocketEntry&) = delete;
  SocketEntry& operator=(const SocketEntry&) = delete;

  const int fd;
  SOCKET handle = INVALID_SOCKET;
  SocketPhase phase = SocketPhase::kFresh;
  bool nonBlocking = false;
  bool bound = false;
  bool sendShutDown = false;
  int blockingCalls = 0;  // calls of other threads waiting in the descriptor
  int brokenError = 0;      // a reset met by the pump; later calls report it
  bool inputEnded = false;  // end of stream or reset seen: nothing more to watch for

  // WSAAsyncSelect registration; `events` 0 means none.
  HWND window = nullptr;
  UINT message = 0;
  long events = 0;
  DWORD pumpThread = 0;  // the thread whose message pump watches the socket
  // Winsock's re-enabling: an event is posted again only after the call that consumes it.
  bool inputHeld = false;  // data seen and reported; re-armed by recv
  bool writeEnabled = true;
  bool oobEnabled = true;
  bool acceptEnabled = true;
  bool closeEnabled = true;
};

std::mutex& SocketTableLock();

// All below: call with the lock held.
// How many WSAStartup calls are not yet matched by WSACleanup.
int& StartupCount();
bool WinsockStarted();
// Gives the entry a handle; INVALID_SOCKET when all handles are taken.
SOCKET AddSocket(std::shared_ptr<SocketEntry> entry);
std::shared_ptr<SocketEntry> FindSocket(SOCKET handle);
std::shared_ptr<SocketEntry> RemoveSocket(SOCKET handle);
void RemoveAllSockets();
// Every socket of the process by handle.
std::map<SOCKET, std::shared_ptr<SocketEntry>>& AllSockets();

// Sets the thread's last error and returns SOCKET_ERROR.
int FailWith(int error);

// Posts an event of a registration if it is selected (lock held).
void PostSelectEvent(SocketEntry& entry, long event, int error);
// Makes sure this thread's message pump watches registered sockets.
void WatchSocketsOnThisThread();
// Ends a connect with its Winsock outcome (0: connected) and posts what Winsock posts.
void CompleteConnect(SocketEntry& entry, int error);
// Notices a non-blocking connect that has ended since the pump last looked.
void RefreshConnect(SocketEntry& entry);

}  // namespace vrk_posix
