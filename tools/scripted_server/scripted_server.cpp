#include "tools/scripted_server/scripted_server.h"

#include "tools/scripted_server/script_runner.h"

namespace vrk_test {

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
  sockets::Socket wake[2];
  sockets::MakePair(wake);
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  try {
    listener_ = sockets::ListenLoopback(options_.port, plan_.Backlog(), port_);
  } catch (...) {
    sockets::Close(wakeRead_);
    sockets::Close(wakeWrite_);
    throw;
  }
  if (plan_.Accepts()) acceptor_ = std::thread([this] { AcceptLoop(); });
}

ScriptedServer::~ScriptedServer() {
  Stop();
  sockets::Close(listener_);
  sockets::Close(wakeRead_);
  sockets::Close(wakeWrite_);
}

void ScriptedServer::Stop() {
  std::vector<Connection> running;
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  // The wake socket is never read, so every wait that includes it returns from now on.
  const char byte = 1;
  sockets::Send(wakeWrite_, &byte, 1);
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
  for (;;) {
    sockets::Watch watches[2] = {{listener_, true, false}, {wakeRead_, true, false}};
    if (sockets::Wait(watches, 2, -1) < 0) return;
    if (watches[1].readable) return;
    if (!watches[0].readable) continue;
    sockets::Error error = sockets::Error::kNone;
    const sockets::Socket socket = sockets::Accept(listener_, error);
    if (socket == sockets::kNone) {
      // Out of descriptors or buffers: give the running connections a moment to release some.
      if (error == sockets::Error::kOther) {
        sockets::Watch wake{wakeRead_, true, false};
        if (sockets::Wait(&wake, 1, 50) > 0) return;
      }
      continue;
    }
    sockets::SetNoDelay(socket);
    ReapFinished();
    StartConnection(socket);
  }
}

void ScriptedServer::StartConnection(sockets::Socket socket) {
  auto record = std::make_shared<ConnectionRecord>(options_.recordLimit);
  auto finished = std::make_shared<std::atomic<bool>>(false);
  std::lock_guard lock(mutex_);
  const Script* script = plan_.For(records_.size());
  records_.push_back(record);
  accepted_.notify_all();
  if (script == nullptr) {
    sockets::Close(socket);
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

}  // namespace vrk_test
