// What every emulated socket call begins with: the table lock, the start-up check and
// the entry of the handle; and the conversions of Winsock addresses.
#pragma once

#include <memory>
#include <mutex>

#include "platform/posix/sockets/socket_io.h"
#include "platform/posix/sockets/socket_table.h"

namespace vrk_posix {

class SocketCall {
 public:
  // Locks the table; with `handle` given, finds its entry.
  SocketCall();
  explicit SocketCall(SOCKET handle);

  // 0 when the call may go on, else the Winsock error that ends it.
  int Error() const { return error_; }
  SocketEntry& Entry() { return *entry_; }

  // Around a call that may block: the lock is released, the entry kept alive.
  void BeginBlocking();
  void EndBlocking();

 private:
  std::unique_lock<std::mutex> guard_;
  std::shared_ptr<SocketEntry> entry_;
  int error_ = 0;
  bool counted_ = false;
};

// 0, or WSAEFAULT / WSAEAFNOSUPPORT for an unusable Winsock address.
int ReadAddress(const sockaddr* name, int length, socket_io::Address* address);
// 0, or WSAEFAULT when the caller's room is too small.
int WriteAddress(const socket_io::Address& address, sockaddr* name, int* length);

}  // namespace vrk_posix
