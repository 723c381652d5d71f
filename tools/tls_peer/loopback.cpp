#include "tools/tls_peer/loopback.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace vrk_test::loopback {

namespace {

constexpr int kDrainMs = 2000;
constexpr int kRelayIdleMs = 30000;

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

int Listen(std::uint16_t& port) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) return -1;
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 64) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listener);
    return -1;
  }
  port = ntohs(address.sin_port);
  return listener;
}

int Connect(std::uint16_t port) {
  const int connected = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (connected < 0) return -1;
  const sockaddr_in address = Loopback(port);
  if (::connect(connected, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(connected);
    return -1;
  }
  return connected;
}

void SetNonBlocking(int socket) { ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK); }

bool WaitFor(int socket, bool readable, int timeoutMs) {
  pollfd watched{socket, static_cast<short>(readable ? POLLIN : POLLOUT), 0};
  for (;;) {
    const int ready = ::poll(&watched, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0;
  }
}

bool WriteAll(int socket, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::send(socket, data, size, MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

void CloseGracefully(int socket) {
  ::shutdown(socket, SHUT_WR);
  char discard[4096];
  while (WaitFor(socket, true, kDrainMs) && ::recv(socket, discard, sizeof discard, 0) > 0) {
  }
  ::close(socket);
}

void Relay(int a, int b) {
  bool open[2] = {true, true};  // whether a (b) still sends
  const int sockets[2] = {a, b};
  char buffer[16384];
  while (open[0] || open[1]) {
    pollfd watched[2] = {{open[0] ? a : -1, POLLIN, 0}, {open[1] ? b : -1, POLLIN, 0}};
    const int ready = ::poll(watched, 2, kRelayIdleMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return;
    for (int side = 0; side < 2; ++side) {
      if (!open[side] || watched[side].revents == 0) continue;
      const ssize_t got = ::recv(sockets[side], buffer, sizeof buffer, 0);
      if (got > 0 && WriteAll(sockets[1 - side], buffer, static_cast<std::size_t>(got))) continue;
      open[side] = false;
      ::shutdown(sockets[1 - side], SHUT_WR);
    }
  }
}

}  // namespace vrk_test::loopback
