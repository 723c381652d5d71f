#include "bench/child_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string_view>

extern char** environ;

namespace vrk::bench {

namespace {

bool IsProxyVariable(std::string_view entry) {
  const std::string_view name = entry.substr(0, entry.find('='));
  constexpr std::string_view kSuffix = "_proxy";
  if (name.size() < kSuffix.size()) return false;
  const std::string_view tail = name.substr(name.size() - kSuffix.size());
  for (std::size_t i = 0; i < kSuffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(tail[i])) != kSuffix[i]) return false;
  }
  return true;
}

std::vector<char*> LoopbackEnvironment() {
  std::vector<char*> kept;
  for (char** entry = environ; *entry; ++entry) {
    if (!IsProxyVariable(*entry)) kept.push_back(*entry);
  }
  kept.push_back(nullptr);
  return kept;
}

// Waits for pid until the deadline; SIGCHLD must be blocked. False when the deadline passed.
bool AwaitChild(pid_t pid, std::chrono::steady_clock::time_point deadline, int& status,
                rusage& usage) {
  sigset_t childSignal;
  sigemptyset(&childSignal);
  sigaddset(&childSignal, SIGCHLD);
  for (;;) {
    const pid_t done = wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) return true;
    if (done < 0 && errno != EINTR) return false;
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return false;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec wait{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    sigtimedwait(&childSignal, nullptr, &wait);
  }
}

// Starts a program with the loopback environment and an unblocked signal mask; the file
// actions say where its standard streams go.
int Spawn(const std::vector<std::string>& command, posix_spawn_file_actions_t* actions,
          pid_t* pid) {
  std::vector<std::string> args = command;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<char*> environment = LoopbackEnvironment();
  // The child must not inherit the blocked SIGCHLD.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  const int spawned = posix_spawnp(pid, argv[0], actions, &attributes, argv.data(), environment.data());
  posix_spawnattr_destroy(&attributes);
  return spawned;
}

}  // namespace

void PrepareToRunChildren() {
  sigset_t childSignal;
  sigemptyset(&childSignal);
  sigaddset(&childSignal, SIGCHLD);
  pthread_sigmask(SIG_BLOCK, &childSignal, nullptr);
}

ChildResult Run(const std::vector<std::string>& command, double timeoutSeconds) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

  ChildResult result;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  const int spawned = Spawn(command, &actions, &pid);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return result;

  int status = 0;
  rusage usage{};
  const auto deadline =
      start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                  std::chrono::duration<double>(timeoutSeconds));
  if (!AwaitChild(pid, deadline, status, usage)) {
    kill(pid, SIGKILL);
    wait4(pid, &status, 0, &usage);
    return result;
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.peakKiB = usage.ru_maxrss;
  result.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

Background::Background(const std::vector<std::string>& command, double timeoutSeconds) {
  int out[2];
  if (pipe(out) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  pid_t pid;
  const int spawned = Spawn(command, &actions, &pid);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  // Kept open until Stop, so later lines do not meet a closed pipe.
  output_ = out[0];
  if (spawned != 0) {
    Stop();
    return;
  }
  pid_ = pid;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(timeoutSeconds));
  // One byte at a time, so nothing after the first line is taken from the pipe.
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{out[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    char c;
    if (read(out[0], &c, 1) != 1) break;
    if (c == '\n') break;
    firstLine_ += c;
  }
  if (firstLine_.empty()) Stop();
}

void Background::Stop() {
  if (output_ >= 0) close(output_);
  output_ = -1;
  if (pid_ <= 0) return;
  int status;
  rusage usage{};
  kill(pid_, SIGTERM);
  if (!AwaitChild(pid_, std::chrono::steady_clock::now() + std::chrono::seconds(5), status,
                  usage)) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
}

}  // namespace vrk::bench
