// A plain blocking-free TCP client on 127.0.0.1 for talking to the test server directly.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vrk::testing {

class LoopbackClient {
 public:
  enum class End { kClosed, kReset, kTimedOut };
  struct Reading {
    std::string bytes;
    End end;
  };

  explicit LoopbackClient(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      if (fd_ >= 0) ::close(fd_);
      throw std::runtime_error("cannot connect to the test server");
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
  }
  ~LoopbackClient() { ::close(fd_); }
  LoopbackClient(const LoopbackClient&) = delete;
  LoopbackClient& operator=(const LoopbackClient&) = delete;

  int Descriptor() const { return fd_; }

  bool Send(std::string_view bytes, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!bytes.empty()) {
      const ssize_t put = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (put > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(put));
      } else if (put < 0 && errno == EAGAIN) {
        if (!WaitFor(POLLOUT, deadline)) return false;
      } else if (!(put < 0 && errno == EINTR)) {
        return false;
      }
    }
    return true;
  }

  void ShutdownWrite() { ::shutdown(fd_, SHUT_WR); }

  // Reads until the peer closes, the connection is reset, `limit` bytes have come or the
  // time runs out.
  Reading Read(std::chrono::milliseconds timeout = std::chrono::seconds(5),
               std::size_t limit = static_cast<std::size_t>(-1)) {
    Reading reading{{}, End::kTimedOut};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char chunk[65536];
    while (reading.bytes.size() < limit) {
      const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
      if (got > 0) {
        reading.bytes.append(chunk, static_cast<std::size_t>(got));
      } else if (got == 0) {
        reading.end = End::kClosed;
        break;
      } else if (errno == EAGAIN) {
        if (!WaitFor(POLLIN, deadline)) break;
      } else if (errno != EINTR) {
        reading.end = errno == ECONNRESET ? End::kReset : End::kClosed;
        break;
      }
    }
    return reading;
  }

 private:
  bool WaitFor(short events, std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd descriptor{fd_, events, 0};
    return ::poll(&descriptor, 1, static_cast<int>(left.count())) > 0;
  }

  int fd_ = -1;
};

}  // namespace vrk::testing
