#include "bench/child_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

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

}  // namespace

void PrepareToRunChildren() {
  sigset_t childSignal;
  sigemptyset(&childSignal);
  sigaddset(&childSignal, SIGCHLD);
  pthread_sigmask(SIG_BLOCK, &childSignal, nullptr);
}

ChildResult Run(const std::vector<std::string>& command, double timeoutSeconds) {
  std::vector<std::string> args = command;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::vector<char*> environment = LoopbackEnvironment();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  // The child must not inherit the blocked SIGCHLD.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

  ChildResult result;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid;
  const int spawned =
      posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environment.data());
  posix_spawnattr_destroy(&attributes);
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

}  // namespace vrk::bench
