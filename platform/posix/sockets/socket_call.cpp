#include "platform/posix/sockets/socket_call.h"

#include <cstring>

namespace vrk_posix {

SocketCall::SocketCall() : guard_(SocketTableLock()) {
  if (!WinsockStarted()) error_ = WSANOTINITIALISED;
}

SocketCall::SocketCall(SOCKET handle) : SocketCall() {
  if (error_ != 0) return;
  entry_ = FindSocket(handle);
  if (!entry_) error_ = WSAENOTSOCK;
}

void SocketCall::BeginBlocking() {
  counted_ = !entry_->nonBlocking;
  if (counted_) ++entry_->blockingCalls;
  guard_.unlock();
}

void SocketCall::EndBlocking() {
  guard_.lock();
  if (counted_) --entry_->blockingCalls;
  counted_ = false;
}

int ReadAddress(const sockaddr* name, int length, socket_io::Address* address) {
  if (name == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) return WSAEFAULT;
  sockaddr_in in;
  std::memcpy(&in, name, sizeof in);
  if (in.sin_family != AF_INET) return WSAEAFNOSUPPORT;
  address->host = in.sin_addr.s_addr;
  address->port = in.sin_port;
  return 0;
}

int WriteAddress(const socket_io::Address& address, sockaddr* name, int* length) {
  if (name == nullptr || length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in))) {
    return WSAEFAULT;
  }
  sockaddr_in out{};
  out.sin_family = AF_INET;
  out.sin_port = address.port;
  out.sin_addr.s_addr = address.host;
  std::memcpy(name, &out, sizeof out);
  *length = sizeof out;
  return 0;
}

}  // namespace vrk_posix
