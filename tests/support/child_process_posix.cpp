#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace vrk_test {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

void CloseOnce(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

struct ChildProcess::State {
  ~State() {
    for (int* fd : {&ended, &input, &output, &error}) CloseOnce(*fd);
  }

  pid_t pid = -1;
  int ended = -1;  // readable once the child has ended
  int input = -1;
  int output = -1;
  int error = -1;
  std::optional<int> exitCode;
  long peakKiB = 0;
  long maxRssKiB = 0;
};

namespace {

std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

// The inherited environment with the named entries replaced or left out.
std::vector<std::string> Environment(const std::vector<std::string>& changes) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string name = NameOf(*entry);
    if (std::none_of(changes.begin(), changes.end(),
                     [&name](const std::string& change) { return NameOf(change) == name; })) {
      result.emplace_back(*entry);
    }
  }
  for (const std::string& change : changes) {
    if (change.find('=') != std::string::npos) result.push_back(change);
  }
  return result;
}

std::vector<char*> Pointers(std::vector<std::string>& words) {
  std::vector<char*> pointers;
  for (std::string& word : words) pointers.push_back(word.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The high-water mark of the process's own memory so far; 0 once it has ended.
long HighWaterKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

// One standard stream of the child. For a pipe, `ours` gets this process's end and `theirs`
// the child's, for the caller to close once the child has it.
void Direct(Stream stream, int target, posix_spawn_file_actions_t* actions, int& ours,
            int& theirs) {
  const bool childReads = target == 0;
  if (stream == Stream::kNull) {
    posix_spawn_file_actions_addopen(actions, target, "/dev/null", childReads ? O_RDONLY : O_WRONLY, 0);
  } else if (stream == Stream::kPipe) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    ours = ends[childReads ? 1 : 0];
    theirs = ends[childReads ? 0 : 1];
    posix_spawn_file_actions_adddup2(actions, theirs, target);
  }
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const ChildOptions& options)
    : state_(std::make_unique<State>()) {
  std::vector<std::string> argv{options.programName.value_or(program)};
  argv.insert(argv.end(), options.arguments.begin(), options.arguments.end());
  std::vector<std::string> environment;
  if (!options.environment.empty()) environment = Environment(options.environment);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  int theirs[3] = {-1, -1, -1};
  Direct(options.input, 0, &actions, state_->input, theirs[0]);
  Direct(options.output, 1, &actions, state_->output, theirs[1]);
  Direct(options.error, 2, &actions, state_->error, theirs[2]);
  if (!options.outputFile.empty()) {
    posix_spawn_file_actions_addopen(&actions, 1, options.outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  if (!options.workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.workDir.c_str());
  // Whatever this thread blocks, the child starts with every signal let through.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  const int failed = ::posix_spawnp(&state_->pid, program.c_str(), &actions, &attributes,
                                    Pointers(argv).data(),
                                    options.environment.empty() ? environ : Pointers(environment).data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  for (int& fd : theirs) CloseOnce(fd);
  if (failed != 0) {
    state_->pid = -1;
    throw std::runtime_error("cannot start " + program);
  }
  // Where the kernel offers it, the child's end wakes a waiting poll at once.
  state_->ended = static_cast<int>(::syscall(SYS_pidfd_open, state_->pid, 0));
}

ChildProcess::~ChildProcess() {
  if (state_->pid > 0) Kill();
}

unsigned long ChildProcess::Id() const { return static_cast<unsigned long>(state_->pid); }

std::optional<int> ChildProcess::Wait(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!state_->exitCode) {
    int status = 0;
    rusage usage{};
    if (::wait4(state_->pid, &status, WNOHANG, &usage) == state_->pid) {
      state_->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      state_->maxRssKiB = usage.ru_maxrss;
      break;
    }
    const int left = MillisecondsLeft(deadline);
    if (left == 0) break;
    if (state_->ended >= 0) {
      pollfd watch{state_->ended, POLLIN, 0};
      ::poll(&watch, 1, left);
    } else {
      std::this_thread::sleep_for(milliseconds(std::min(left, 2)));
    }
  }
  return state_->exitCode;
}

std::optional<int> ChildProcess::Stop(milliseconds grace) {
  if (state_->exitCode) return state_->exitCode;
  ::kill(state_->pid, SIGTERM);
  if (Wait(grace)) return state_->exitCode;
  Kill();
  return std::nullopt;
}

void ChildProcess::Kill() {
  if (state_->exitCode) return;
  ::kill(state_->pid, SIGKILL);
  Wait(std::chrono::hours(1));
}

void ChildProcess::CloseInput() { CloseOnce(state_->input); }

std::string ChildProcess::ReadLine(milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string line;
  for (;;) {
    pollfd watch{state_->output, POLLIN, 0};
    if (::poll(&watch, 1, MillisecondsLeft(deadline)) <= 0) return line;
    char c;
    if (::read(state_->output, &c, 1) != 1 || c == '\n') return line;
    line += c;
  }
}

bool ChildProcess::ReadToEnd(std::string& output, std::string& error, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (state_->output >= 0 || state_->error >= 0) {
    const int left = MillisecondsLeft(deadline);
    if (left == 0) return false;
    pollfd watch[2] = {{state_->output, POLLIN, 0}, {state_->error, POLLIN, 0}};
    // Looked at often while the run lasts: the mark only grows, so the last look counts.
    const int ready = ::poll(watch, 2, std::min(left, 20));
    state_->peakKiB = std::max(state_->peakKiB, HighWaterKiB(state_->pid));
    if (ready <= 0) continue;
    std::string* into[2] = {&output, &error};
    int* fds[2] = {&state_->output, &state_->error};
    for (int i = 0; i < 2; ++i) {
      if (watch[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t count = ::read(*fds[i], buffer, sizeof buffer);
      if (count > 0) {
        into[i]->append(buffer, static_cast<std::size_t>(count));
      } else if (count == 0 || errno != EINTR) {
        CloseOnce(*fds[i]);
      }
    }
  }
  return true;
}

long ChildProcess::PeakKiB() const { return state_->peakKiB; }

long ChildProcess::MaxRssKiB() const { return state_->maxRssKiB; }

}  // namespace vrk_test
