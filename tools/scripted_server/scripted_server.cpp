#include "tools/scripted_server/scripted_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "tools/scripted_server/script_runner.h"

namespace vrk::testing {

namespace {

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

ConnectionPlan ConnectionPlan::Sequence(std::vector<Script> scripts) {
  ConnectionPlan plan;
  plan.scripts_ = std::move(scripts);
  return plan;
}

ConnectionPlan ConnectionPlan::Repeating(Script script) {
  ConnectionPlan plan;
  plan.scripts_.push_back(std::move(script));
  plan.repeatLast_ = true;
  return plan;
}

ConnectionPlan ConnectionPlan::Http(HttpHandler handler) {
  return Repeating(Script().AnswerHttp(std::move(handler)));
}

ConnectionPlan ConnectionPlan::NeverAccept(int backlog) {
  ConnectionPlan plan;
  plan.accepts_ = false;
  plan.backlog_ = backlog;
  return plan;
}

const Script* ConnectionPlan::For(std::size_t index) const {
  if (index < scripts_.size()) return &scripts_[index];
  if (repeatLast_ && !scripts_.empty()) return &scripts_.back();
  return nullptr;
}

ScriptedServer::ScriptedServer(ConnectionPlan plan, ServerOptions options)
    : plan_(std::move(plan)), options_(options) {
  int wake[2];
  if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) ThrowErrno("pipe2");
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];

  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener_ < 0) {
    const int error = errno;
    ::close(wakeRead_);
    ::close(wakeWrite_);
    errno = error;
    ThrowErrno("socket");
  }
  const int yes = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(options_.port);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, plan_.Backlog()) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = errno;
    ::close(listener_);
    ::close(wakeRead_);
    ::close(wakeWrite_);
    errno = error;
    ThrowErrno("listening on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  if (plan_.Accepts()) acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
  Stop();
  ::close(listener_);
  ::close(wakeRead_);
  ::close(wakeWrite_);
}

void ScriptedServer::Stop() {
  std::vector<Connection> running;
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  // The pipe is never read, so every poll that includes it returns from now on.
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(wakeWrite_, &byte, 1);
  if (acceptor_.joinable()) acceptor_.join();
  {
    std::lock_guard lock(mutex_);
    running.swap(running_);
  }
  for (Connection& connection : running) connection.thread.join();
  accepted_.notify_all();
}

std::string ScriptedServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void ScriptedServer::AcceptLoop() {
  pollfd fds[2] = {{listener_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
  for (;;) {
    fds[0].revents = fds[1].revents = 0;
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
    if (fds[1].revents != 0) return;
    if (fds[0].revents == 0) continue;
    const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (socket < 0) {
      // Out of descriptors: give the running connections a moment to release some.
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        pollfd wake{wakeRead_, POLLIN, 0};
        if (::poll(&wake, 1, 50) > 0) return;
      }
      continue;
    }
    const int yes = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    ReapFinished();
    StartConnection(socket);
  }
}

void ScriptedServer::StartConnection(int socket) {
  auto record = std::make_shared<ConnectionRecord>(options_.recordLimit);
  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::lock_guard lock(mutex_);
  const Script* script = plan_.For(records_.size());
  records_.push_back(record);
  accepted_.notify_all();
  if (script == nullptr) {
    ::close(socket);
    record->MarkEnded();
    return;
  }
  RunnerSettings settings{options_.ioTimeout, options_.closeDrain, [this](const HttpRequest& r) {
                            std::lock_guard requestsLock(mutex_);
                            requests_.push_back(r);
                          }};
  std::thread thread([socket, wake = wakeRead_, script, record, finished,
                      settings = std::move(settings)] {
    PlayScript(socket, wake, *script, *record, settings);
    finished->store(true);
  });
  running_.push_back(Connection{record, std::move(thread), finished});
}

void ScriptedServer::ReapFinished() {
  std::vector<Connection> done;
  {
    std::lock_guard lock(mutex_);
    for (auto it = running_.begin(); it != running_.end();) {
      if (it->finished->load()) {
        done.push_back(std::move(*it));
        it = running_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (Connection& connection : done) connection.thread.join();
}

std::size_t ScriptedServer::ConnectionCount() const {
  std::lock_guard lock(mutex_);
  return records_.size();
}

bool ScriptedServer::WaitForConnections(std::size_t count, Milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return accepted_.wait_for(lock, timeout, [&] { return records_.size() >= count; });
}

std::shared_ptr<ConnectionRecord> ScriptedServer::Record(std::size_t connection) const {
  std::lock_guard lock(mutex_);
  return connection < records_.size() ? records_[connection] : nullptr;
}

std::shared_ptr<ConnectionRecord> ScriptedServer::AwaitRecord(std::size_t connection,
                                                              Milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  if (!accepted_.wait_for(lock, timeout, [&] { return records_.size() > connection; })) {
    return nullptr;
  }
  return records_[connection];
}

std::string ScriptedServer::Received(std::size_t connection) const {
  const auto record = Record(connection);
  return record ? record->Received() : std::string();
}

std::uint64_t ScriptedServer::ReceivedCount(std::size_t connection) const {
  const auto record = Record(connection);
  return record ? record->ReceivedCount() : 0;
}

bool ScriptedServer::PeerClosed(std::size_t connection) const {
  const auto record = Record(connection);
  return record && record->PeerClosed();
}

bool ScriptedServer::PeerReset(std::size_t connection) const {
  const auto record = Record(connection);
  return record && record->PeerReset();
}

namespace {
// What is left of a time-out that started at `start`.
Milliseconds Remaining(std::chrono::steady_clock::time_point start, Milliseconds timeout) {
  const auto spent =
      std::chrono::duration_cast<Milliseconds>(std::chrono::steady_clock::now() - start);
  return spent >= timeout ? Milliseconds(0) : timeout - spent;
}
}  // namespace

bool ScriptedServer::WaitForBytes(std::size_t connection, std::uint64_t count,
                                  Milliseconds timeout) const {
  const auto start = std::chrono::steady_clock::now();
  const auto record = AwaitRecord(connection, timeout);
  return record && record->WaitForBytes(count, Remaining(start, timeout));
}

bool ScriptedServer::WaitForMarker(std::size_t connection, std::string_view marker,
                                   Milliseconds timeout) const {
  const auto start = std::chrono::steady_clock::now();
  const auto record = AwaitRecord(connection, timeout);
  return record && record->WaitForMarker(marker, Remaining(start, timeout));
}

bool ScriptedServer::WaitForPeerClose(std::size_t connection, Milliseconds timeout) const {
  const auto start = std::chrono::steady_clock::now();
  const auto record = AwaitRecord(connection, timeout);
  return record && record->WaitForPeerClose(Remaining(start, timeout));
}

bool ScriptedServer::WaitForEnd(std::size_t connection, Milliseconds timeout) const {
  const auto start = std::chrono::steady_clock::now();
  const auto record = AwaitRecord(connection, timeout);
  return record && record->WaitForEnd(Remaining(start, timeout));
}

std::vector<std::string> ScriptedServer::Failures() const {
  std::vector<std::shared_ptr<ConnectionRecord>> records;
  {
    std::lock_guard lock(mutex_);
    records = records_;
  }
  std::vector<std::string> failures;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const std::string failure = records[i]->Failure();
    if (!failure.empty()) failures.push_back("connection " + std::to_string(i) + ": " + failure);
  }
  return failures;
}

std::vector<HttpRequest> ScriptedServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace vrk::testing
