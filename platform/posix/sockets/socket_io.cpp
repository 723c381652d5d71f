// POSIX side of the sockets emulation: every call here returns Winsock error codes.
#include "platform/posix/sockets/socket_io.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/sockets/wsa_errno_map.h"

namespace vrk_posix::socket_io {
namespace {

Outcome Failure(int error) { return Outcome{-1, WsaErrorFromErrno(error)}; }
Outcome Result(long long value) { return value < 0 ? Failure(errno) : Outcome{value, 0}; }

sockaddr_in ToPosix(Address address) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = address.port;
  result.sin_addr.s_addr = address.host;
  return result;
}

Address FromPosix(const sockaddr_in& address) {
  return Address{address.sin_addr.s_addr, address.sin_port};
}

bool IsBlocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && (flags & O_NONBLOCK) == 0;
}

// A blocking connect interrupted by a signal goes on in the background; wait for it.
Outcome FinishInterruptedConnect(int fd) {
  pollfd entry{fd, POLLOUT, 0};
  while (poll(&entry, 1, -1) < 0 && errno == EINTR) {
  }
  int error = TakePendingError(fd);
  return error == 0 ? Outcome{0, 0} : Outcome{-1, error};
}

}  // namespace

Outcome OpenStream() { return Result(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP)); }

void Close(int fd) { ::close(fd); }

Outcome SetNonBlocking(int fd, bool on) {
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return Failure(errno);
  flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return Result(fcntl(fd, F_SETFL, flags));
}

Outcome Connect(int fd, Address to) {
  sockaddr_in address = ToPosix(to);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return {};
  if (errno == EINTR && IsBlocking(fd)) return FinishInterruptedConnect(fd);
  return Failure(errno);
}

void ForgetFailedConnect(int fd) {
  // Connecting to no address at all dissolves the association and leaves the socket as new.
  sockaddr none{};
  none.sa_family = AF_UNSPEC;
  ::connect(fd, &none, sizeof none);
}

Outcome Bind(int fd, Address at) {
  sockaddr_in address = ToPosix(at);
  return Result(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

Outcome Listen(int fd, int backlog) { return Result(::listen(fd, backlog)); }

Outcome Accept(int fd, Address* peer) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  int accepted;
  do {
    accepted = ::accept4(fd, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
  } while (accepted < 0 && errno == EINTR);
  if (accepted < 0) return Failure(errno);
  if (peer != nullptr) *peer = FromPosix(address);
  return Outcome{accepted, 0};
}

Outcome Send(int fd, const void* data, std::size_t size, bool urgent) {
  // No SIGPIPE: a peer that went away is an error code, as on Windows, not the end of us.
  int flags = MSG_NOSIGNAL | (urgent ? MSG_OOB : 0);
  ssize_t sent;
  do {
    sent = ::send(fd, data, size, flags);
  } while (sent < 0 && errno == EINTR);
  return Result(sent);
}

Outcome Receive(int fd, void* data, std::size_t size, bool peek, bool urgent) {
  int flags = (peek ? MSG_PEEK : 0) | (urgent ? MSG_OOB : 0);
  ssize_t received;
  do {
    received = ::recv(fd, data, size, flags);
  } while (received < 0 && errno == EINTR);
  return Result(received);
}

Outcome Shutdown(int fd, int how) {
  int posixHow = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
  return Result(::shutdown(fd, posixHow));
}

Outcome LocalAddress(int fd, Address* address) {
  sockaddr_in result{};
  socklen_t length = sizeof result;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&result), &length) < 0) return Failure(errno);
  *address = FromPosix(result);
  return {};
}

Outcome PeerAddress(int fd, Address* address) {
  sockaddr_in result{};
  socklen_t length = sizeof result;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&result), &length) < 0) return Failure(errno);
  *address = FromPosix(result);
  return {};
}

Outcome BytesReadable(int fd) {
  int count = 0;
  if (ioctl(fd, FIONREAD, &count) < 0) return Failure(errno);
  return Outcome{count, 0};
}

Outcome SetOption(int fd, Option option, int value) {
  int level = SOL_SOCKET;
  int name = 0;
  switch (option) {
    case Option::kReuseAddress:
      name = SO_REUSEADDR;
      break;
    case Option::kKeepAlive:
      name = SO_KEEPALIVE;
      break;
    case Option::kReceiveBuffer:
      name = SO_RCVBUF;
      break;
    case Option::kSendBuffer:
      name = SO_SNDBUF;
      break;
    case Option::kNoDelay:
      level = IPPROTO_TCP;
      name = TCP_NODELAY;
      break;
    case Option::kOobInline:
      name = SO_OOBINLINE;
      break;
  }
  return Result(::setsockopt(fd, level, name, &value, sizeof value));
}

Outcome SetLinger(int fd, bool on, int seconds) {
  ::linger value{on ? 1 : 0, seconds};
  return Result(::setsockopt(fd, SOL_SOCKET, SO_LINGER, &value, sizeof value));
}

int TakePendingError(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0) error = errno;
  return error == 0 ? 0 : WsaErrorFromErrno(error);
}

Outcome FinishConnect(int fd) {
  pollfd entry{fd, POLLOUT, 0};
  int ready;
  do {
    ready = poll(&entry, 1, 0);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return Outcome{0, 0};
  int error = TakePendingError(fd);
  return error == 0 ? Outcome{1, 0} : Outcome{-1, error};
}

Input ProbeInput(int fd, int* error) {
  char byte;
  ssize_t result;
  do {
    result = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  } while (result < 0 && errno == EINTR);
  if (result > 0) return Input::kData;
  if (result == 0) return Input::kEndOfStream;
  if (errno == EAGAIN || errno == EWOULDBLOCK) return Input::kNothing;
  *error = WsaErrorFromErrno(errno);
  return Input::kFailed;
}

}  // namespace vrk_posix::socket_io
