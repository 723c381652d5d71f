// A test peer on 127.0.0.1 that plays a script on each connection it accepts and records
// every byte it receives. It runs on its own threads; destroying it stops everything
// within a bounded time, stalled connections included.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/scripted_server/connection_record.h"
#include "tools/scripted_server/script.h"
#include "tools/scripted_server/socket_shim.h"

namespace vrk_test {

// Which script each accepted connection plays.
class ConnectionPlan {
 public:
  // Connection i plays scripts[i]; connections beyond the list are closed at once.
  static ConnectionPlan Sequence(std::vector<Script> scripts);
  // Every connection plays the same script.
  static ConnectionPlan Repeating(Script script);
  // Every connection reads one request and gets the handler's response, then is closed.
  static ConnectionPlan Http(HttpHandler handler);
  // Listens with this backlog but never accepts: connects beyond the backlog stay pending.
  static ConnectionPlan NeverAccept(int backlog = 1);

  // The script for the connection with this index, or null to close it at once.
  const Script* For(std::size_t index) const;
  bool Accepts() const { return accepts_; }
  int Backlog() const { return backlog_; }

 private:
  std::vector<Script> scripts_;
  bool repeatLast_ = false;
  bool accepts_ = true;
  int backlog_ = 128;
};

struct ServerOptions {
  std::uint16_t port = 0;  // 0: an ephemeral port
  // Bytes kept per connection; more are counted but not kept (for long uploads).
  // Receive-until steps and HTTP requests only see kept bytes.
  std::size_t recordLimit = static_cast<std::size_t>(-1);
  // Longest time a send may make no progress, and the time an HTTP request may take.
  Milliseconds ioTimeout{30000};
  // How long a graceful close waits for the peer's FIN at most (it stops earlier once
  // the peer has sent nothing for 100 ms).
  Milliseconds closeDrain{2000};
};

class ScriptedServer {
 public:
  // Listens at once; throws std::system_error when it cannot.
  explicit ScriptedServer(ConnectionPlan plan, ServerOptions options = {});
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::uint16_t Port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by the path.
  std::string Url(std::string_view path = "/") const;

  std::size_t ConnectionCount() const;
  bool WaitForConnections(std::size_t count, Milliseconds timeout) const;

  // Accessors for one connection by its index in accept order. For a connection that has
  // not been accepted yet they give empty results; the waits first wait for it to exist.
  std::string Received(std::size_t connection) const;
  std::uint64_t ReceivedCount(std::size_t connection) const;
  bool PeerClosed(std::size_t connection) const;
  bool PeerReset(std::size_t connection) const;
  bool WaitForBytes(std::size_t connection, std::uint64_t count, Milliseconds timeout) const;
  bool WaitForMarker(std::size_t connection, std::string_view marker, Milliseconds timeout) const;
  bool WaitForPeerClose(std::size_t connection, Milliseconds timeout) const;
  // True once the connection's script has finished and its socket is closed.
  bool WaitForEnd(std::size_t connection, Milliseconds timeout) const;

  // What went wrong on connections, one "connection N: ..." line each (timed-out
  // receives, failed sends, unreadable requests).
  std::vector<std::string> Failures() const;
  // Every request read by HTTP steps, in the order they were read.
  std::vector<HttpRequest> Requests() const;

  // Stops accepting, wakes every connection and joins all threads. Idempotent.
  void Stop();

 private:
  struct Connection {
    std::shared_ptr<ConnectionRecord> record;
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };

  void AcceptLoop();
  void StartConnection(sockets::Socket socket);
  void ReapFinished();
  std::shared_ptr<ConnectionRecord> Record(std::size_t connection) const;
  std::shared_ptr<ConnectionRecord> AwaitRecord(std::size_t connection, Milliseconds timeout) const;

  const ConnectionPlan plan_;
  const ServerOptions options_;
  sockets::Socket listener_ = sockets::kNone;
  sockets::Socket wakeRead_ = sockets::kNone;
  sockets::Socket wakeWrite_ = sockets::kNone;
  std::uint16_t port_ = 0;

  mutable std::mutex mutex_;
  mutable std::condition_variable accepted_;
  std::vector<std::shared_ptr<ConnectionRecord>> records_;
  std::vector<Connection> running_;
  std::vector<HttpRequest> requests_;
  bool stopping_ = false;
  std::thread acceptor_;
};

}  // namespace vrk_test
