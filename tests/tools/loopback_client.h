// A plain non-blocking TCP client on 127.0.0.1 for talking to the test server directly.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tools/scripted_server/socket_shim.h"

namespace vrk_test {

class LoopbackClient {
 public:
  enum class End { kClosed, kReset, kTimedOut };
  struct Reading {
    std::string bytes;
    End end;
  };

  explicit LoopbackClient(std::uint16_t port) : socket_(sockets::ConnectLoopback(port)) {
    if (socket_ == sockets::kNone) throw std::runtime_error("cannot connect to the test server");
  }
  ~LoopbackClient() { sockets::Close(socket_); }
  LoopbackClient(const LoopbackClient&) = delete;
  LoopbackClient& operator=(const LoopbackClient&) = delete;

  bool Send(std::string_view bytes, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!bytes.empty()) {
      const sockets::Transfer put = sockets::Send(socket_, bytes.data(), bytes.size());
      if (put.count > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(put.count));
      } else if (put.error == sockets::Error::kWouldBlock) {
        if (!WaitFor(false, deadline)) return false;
      } else if (put.error != sockets::Error::kInterrupted) {
        return false;
      }
    }
    return true;
  }

  void ShutdownWrite() { sockets::ShutdownSend(socket_); }

  // Reads until the peer closes, the connection is reset, `limit` bytes have come or the
  // time runs out.
  Reading Read(std::chrono::milliseconds timeout = std::chrono::seconds(5),
               std::size_t limit = static_cast<std::size_t>(-1)) {
    Reading reading{{}, End::kTimedOut};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string chunk(65536, '\0');
    while (reading.bytes.size() < limit) {
      const sockets::Transfer got = sockets::Receive(socket_, chunk.data(), chunk.size());
      if (got.count > 0) {
        reading.bytes.append(chunk.data(), static_cast<std::size_t>(got.count));
      } else if (got.count == 0) {
        reading.end = End::kClosed;
        break;
      } else if (got.error == sockets::Error::kWouldBlock) {
        if (!WaitFor(true, deadline)) break;
      } else if (got.error != sockets::Error::kInterrupted) {
        reading.end = got.error == sockets::Error::kReset ? End::kReset : End::kClosed;
        break;
      }
    }
    return reading;
  }

 private:
  bool WaitFor(bool read, std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    sockets::Watch watch{socket_, read, !read};
    return sockets::Wait(&watch, 1, static_cast<int>(left.count())) > 0;
  }

  sockets::Socket socket_;
};

}  // namespace vrk_test
