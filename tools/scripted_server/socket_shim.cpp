#include "tools/scripted_server/socket_shim.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

#include <algorithm>
#include <system_error>
#include <vector>

namespace vrk_test::sockets {

namespace {

#ifdef _WIN32
using Native = SOCKET;
Native ToNative(Socket socket) { return static_cast<Native>(socket); }

// Windows Sockets must be started once per process before the first call.
void EnsureStarted() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::system_error(WSASYSNOTREADY, std::system_category(), "WSAStartup");
}

Error Classify(int code) {
  switch (code) {
    case WSAEWOULDBLOCK: return Error::kWouldBlock;
    case WSAEINTR: return Error::kInterrupted;
    case WSAECONNRESET:
    case WSAECONNABORTED: return Error::kReset;
    default: return Error::kOther;
  }
}

bool SetNonBlocking(Native socket) {
  u_long on = 1;
  return ioctlsocket(socket, FIONBIO, &on) == 0;
}

Native NewTcpSocket() {
  EnsureStarted();
  // Not inherited, so a child process cannot keep a test's connection open.
  Native socket =
      WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (socket == INVALID_SOCKET && WSAGetLastError() == WSAEINVAL) {
    // Windows before 7 SP1 does not know the flag.
    socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (socket != INVALID_SOCKET) {
      SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    }
  }
  return socket;
}
#else
using Native = int;
Native ToNative(Socket socket) { return static_cast<Native>(socket); }

Error Classify(int code) {
  if (code == EAGAIN || code == EWOULDBLOCK || code == EINPROGRESS) return Error::kWouldBlock;
  if (code == EINTR) return Error::kInterrupted;
  if (code == ECONNRESET || code == EPIPE) return Error::kReset;
  return Error::kOther;
}

bool SetNonBlocking(Native socket) {
  return ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK) == 0;
}

Native NewTcpSocket() { return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }
#endif

constexpr Native kInvalid = static_cast<Native>(kNone);

sockaddr_in LoopbackAddress(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

std::uint16_t LocalPort(Native socket) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

[[noreturn]] void ThrowLast(const char* what) {
  const int code = LastErrorCode();
#ifdef _WIN32
  throw std::system_error(code, std::system_category(), what);
#else
  throw std::system_error(code, std::generic_category(), what);
#endif
}

Transfer Failed() {
  const int code = LastErrorCode();
  return Transfer{-1, Classify(code), code};
}

}  // namespace

int LastErrorCode() {
#ifdef _WIN32
  return WSAGetLastError();
#else
  return errno;
#endif
}

std::string ErrorText(int code) {
#ifdef _WIN32
  char buffer[256];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
  while (length > 0 && static_cast<unsigned char>(buffer[length - 1]) <= ' ') --length;
  return std::string(buffer, length) + " (" + std::to_string(code) + ")";
#else
  return std::strerror(code);
#endif
}

Socket ListenLoopback(std::uint16_t port, int backlog, std::uint16_t& boundPort) {
  const Native listener = NewTcpSocket();
  if (listener == kInvalid) ThrowLast("socket");
#ifndef _WIN32
  // On Windows this option would let another program take the port over, so only here.
  const int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
  const sockaddr_in address = LoopbackAddress(port);
  if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, backlog) != 0 || !SetNonBlocking(listener) ||
      (boundPort = LocalPort(listener)) == 0) {
    const int code = LastErrorCode();
    Close(static_cast<Socket>(listener));
#ifdef _WIN32
    throw std::system_error(code, std::system_category(), "listening on 127.0.0.1");
#else
    throw std::system_error(code, std::generic_category(), "listening on 127.0.0.1");
#endif
  }
  return static_cast<Socket>(listener);
}

Socket Accept(Socket listener, Error& error) {
#ifdef _WIN32
  const Native socket = ::accept(ToNative(listener), nullptr, nullptr);
  if (socket != kInvalid) {
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
  }
#else
  const Native socket = ::accept4(ToNative(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
#endif
  if (socket == kInvalid) {
    error = Classify(LastErrorCode());
    return kNone;
  }
  SetNonBlocking(socket);
  error = Error::kNone;
  return static_cast<Socket>(socket);
}

Socket ConnectLoopback(std::uint16_t port) {
  const Native socket = NewTcpSocket();
  if (socket == kInvalid) return kNone;
  const sockaddr_in address = LoopbackAddress(port);
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      !SetNonBlocking(socket)) {
    Close(static_cast<Socket>(socket));
    return kNone;
  }
  return static_cast<Socket>(socket);
}

Socket StartConnectLoopback(std::uint16_t port) {
  const Native socket = NewTcpSocket();
  if (socket == kInvalid) return kNone;
  if (!SetNonBlocking(socket)) {
    Close(static_cast<Socket>(socket));
    return kNone;
  }
  const sockaddr_in address = LoopbackAddress(port);
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      Classify(LastErrorCode()) != Error::kWouldBlock) {
    Close(static_cast<Socket>(socket));
    return kNone;
  }
  return static_cast<Socket>(socket);
}

void MakePair(Socket pair[2]) {
#ifdef _WIN32
  // No socketpair here: a loopback connection through a listener that lives only for it.
  std::uint16_t port = 0;
  const Socket listener = ListenLoopback(0, 1, port);
  const Socket writer = ConnectLoopback(port);
  Socket reader = kNone;
  if (writer != kNone) {
    Watch watch{listener, true, false};
    Error error = Error::kNone;
    if (Wait(&watch, 1, 5000) == 1) reader = Accept(listener, error);
  }
  // Only our own connection may become the pair, not some other program's.
  sockaddr_in writerEnd{};
  sockaddr_in readerPeer{};
  socklen_t writerLength = sizeof writerEnd;
  socklen_t peerLength = sizeof readerPeer;
  const bool ours =
      reader != kNone &&
      ::getsockname(ToNative(writer), reinterpret_cast<sockaddr*>(&writerEnd), &writerLength) == 0 &&
      ::getpeername(ToNative(reader), reinterpret_cast<sockaddr*>(&readerPeer), &peerLength) == 0 &&
      writerEnd.sin_port == readerPeer.sin_port;
  const int code = LastErrorCode();
  Close(listener);
  if (!ours) {
    Close(writer);
    Close(reader);
    throw std::system_error(code == 0 ? WSAECONNREFUSED : code, std::system_category(),
                            "loopback socket pair");
  }
  SetNoDelay(writer);
  pair[0] = reader;
  pair[1] = writer;
#else
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
    ThrowLast("socketpair");
  }
  pair[0] = fds[0];
  pair[1] = fds[1];
#endif
}

Transfer Send(Socket socket, const char* data, std::size_t size) {
#ifdef _WIN32
  const int chunk = static_cast<int>(std::min<std::size_t>(size, 1 << 30));
  const int put = ::send(ToNative(socket), data, chunk, 0);
#else
  const ssize_t put = ::send(ToNative(socket), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
#endif
  if (put < 0) return Failed();
  return Transfer{static_cast<std::ptrdiff_t>(put)};
}

Transfer Receive(Socket socket, char* buffer, std::size_t size) {
#ifdef _WIN32
  const int chunk = static_cast<int>(std::min<std::size_t>(size, 1 << 30));
  const int got = ::recv(ToNative(socket), buffer, chunk, 0);
  if (got == 0) {
    // Wine ends the stream of a reset connection as if it had been closed; only a send still
    // sees the reset. One of no bytes puts nothing on the wire.
    if (::send(ToNative(socket), buffer, 0, 0) < 0 && Classify(WSAGetLastError()) == Error::kReset) {
      return Failed();
    }
  }
#else
  const ssize_t got = ::recv(ToNative(socket), buffer, size, MSG_DONTWAIT);
#endif
  if (got < 0) return Failed();
  return Transfer{static_cast<std::ptrdiff_t>(got)};
}

void ShutdownSend(Socket socket) {
#ifdef _WIN32
  ::shutdown(ToNative(socket), SD_SEND);
#else
  ::shutdown(ToNative(socket), SHUT_WR);
#endif
}

void SetNoDelay(Socket socket) {
#ifdef _WIN32
  const BOOL yes = TRUE;
  ::setsockopt(ToNative(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes),
               sizeof yes);
#else
  const int yes = 1;
  ::setsockopt(ToNative(socket), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
#endif
}

void AbortOnClose(Socket socket) {
  const linger abort{1, 0};
  ::setsockopt(ToNative(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
               sizeof abort);
}

void Close(Socket socket) {
  if (socket == kNone) return;
#ifdef _WIN32
  ::closesocket(ToNative(socket));
#else
  ::close(ToNative(socket));
#endif
}

int Wait(Watch* watches, std::size_t count, int timeoutMs) {
  for (std::size_t i = 0; i < count; ++i) watches[i].readable = watches[i].writable = false;
#ifdef _WIN32
  // select, not WSAPoll: it reports failed connects and is there on every Windows.
  fd_set readers;
  fd_set writers;
  fd_set failures;
  FD_ZERO(&readers);
  FD_ZERO(&writers);
  FD_ZERO(&failures);
  bool any = false;
  for (std::size_t i = 0; i < count; ++i) {
    const Watch& watch = watches[i];
    if (watch.socket == kNone || (!watch.read && !watch.write)) continue;
    if (watch.read) FD_SET(ToNative(watch.socket), &readers);
    if (watch.write) {
      FD_SET(ToNative(watch.socket), &writers);
      FD_SET(ToNative(watch.socket), &failures);
    }
    any = true;
  }
  if (!any) {
    // select refuses empty sets; there is nothing to wait for but the time.
    Sleep(timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
    return 0;
  }
  timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int ready = ::select(0, &readers, &writers, &failures, timeoutMs < 0 ? nullptr : &limit);
  if (ready <= 0) return ready < 0 ? -1 : 0;
  int result = 0;
  for (std::size_t i = 0; i < count; ++i) {
    Watch& watch = watches[i];
    if (watch.socket == kNone) continue;
    const Native native = ToNative(watch.socket);
    watch.readable = watch.read && FD_ISSET(native, &readers);
    watch.writable = watch.write && (FD_ISSET(native, &writers) || FD_ISSET(native, &failures));
    if (watch.readable || watch.writable) ++result;
  }
  return result;
#else
  std::vector<pollfd> fds(count);
  for (std::size_t i = 0; i < count; ++i) {
    const Watch& watch = watches[i];
    const bool wanted = watch.socket != kNone && (watch.read || watch.write);
    fds[i].fd = wanted ? ToNative(watch.socket) : -1;
    fds[i].events = static_cast<short>((watch.read ? POLLIN : 0) | (watch.write ? POLLOUT : 0));
  }
  const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  if (ready == 0) return 0;
  int result = 0;
  for (std::size_t i = 0; i < count; ++i) {
    Watch& watch = watches[i];
    const short events = fds[i].revents;
    const bool broken = (events & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    watch.readable = watch.read && ((events & POLLIN) || broken);
    watch.writable = watch.write && ((events & POLLOUT) || broken);
    if (watch.readable || watch.writable) ++result;
  }
  return result;
#endif
}

}  // namespace vrk_test::sockets
