// The POSIX socket calls behind the Winsock emulation. This half never sees the Win32
// declarations and the Winsock half never sees the POSIX socket headers: the two give
// the same names (socket, sockaddr_in, AF_INET, MSG_PEEK ...) different meanings.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vrk_posix::socket_io {

// A non-negative value, or -1 with a Winsock error code.
struct Outcome {
  long long value = 0;
  int error = 0;
  bool Failed() const { return value < 0; }
};

// IPv4 address and port, both in network byte order.
struct Address {
  std::uint32_t host = 0;
  std::uint16_t port = 0;
};

enum class Option { kReuseAddress, kKeepAlive, kReceiveBuffer, kSendBuffer, kNoDelay, kOobInline };

enum class Input { kData, kEndOfStream, kFailed, kNothing };

Outcome OpenStream();  // value: a blocking, close-on-exec TCP descriptor
void Close(int fd);
Outcome SetNonBlocking(int fd, bool on);
Outcome Connect(int fd, Address to);  // would-block means the connect goes on
// Makes a descriptor whose connect failed ready for the next one. Linux keeps such a
// socket "connecting" after a failure that it reported later, and its next connect then
// only fails with "connection aborted"; Winsock's next connect simply starts anew.
void ForgetFailedConnect(int fd);
Outcome Bind(int fd, Address at);
Outcome Listen(int fd, int backlog);
Outcome Accept(int fd, Address* peer);  // value: the new descriptor, blocking, close-on-exec
Outcome Send(int fd, const void* data, std::size_t size, bool urgent);
Outcome Receive(int fd, void* data, std::size_t size, bool peek, bool urgent);
Outcome Shutdown(int fd, int how);  // 0 receive, 1 send, 2 both
Outcome LocalAddress(int fd, Address* address);
Outcome PeerAddress(int fd, Address* address);
Outcome BytesReadable(int fd);
Outcome SetOption(int fd, Option option, int value);
Outcome SetLinger(int fd, bool on, int seconds);
// The outcome of a finished non-blocking connect, as a Winsock code (0: connected).
int TakePendingError(int fd);
// Without waiting: value 1 connected, 0 still connecting, -1 failed with its error.
Outcome FinishConnect(int fd);
// What a reader would meet now, found without consuming anything or blocking.
Input ProbeInput(int fd, int* error);

}  // namespace vrk_posix::socket_io
