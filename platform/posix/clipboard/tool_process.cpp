#include "platform/posix/clipboard/tool_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <thread>

extern char** environ;

namespace vrk_posix {
namespace {

// A copy at 3 or above, so that placing the standard streams cannot close it first.
int Above2(int descriptor) { return descriptor < 0 ? -1 : fcntl(descriptor, F_DUPFD, 3); }

// Runs in the forked child: only async-signal-safe calls from here on.
[[noreturn]] void BecomeTool(int input, int output, int errors, char* const* arguments,
                             int lastDescriptor) {
  // A holder outlives us: it gets its own session, and nothing of ours but what it is given
  // (no pipe to our output streams, no socket), so no one waits on it for an end of file.
  setsid();
  // Signals the tool ignores are the holder's to take as usual.
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &defaults, nullptr);
  sigaction(SIGXFSZ, &defaults, nullptr);
  const int nothing = Above2(open("/dev/null", O_RDWR));
  const int in = input >= 0 ? Above2(input) : nothing;
  const int out = output >= 0 ? Above2(output) : nothing;
  const int err = errors >= 0 ? Above2(errors) : nothing;
  if (in < 0 || out < 0 || err < 0 || nothing < 0) _exit(127);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
#ifdef SYS_close_range
  if (syscall(SYS_close_range, 3U, ~0U, 0U) != 0)
#endif
    for (int descriptor = 3; descriptor <= lastDescriptor; ++descriptor) close(descriptor);
  execve(arguments[0], arguments, environ);
  _exit(127);
}

}  // namespace

pid_t StartTool(const std::vector<std::string>& tool, int input, int output, int errors) {
  std::vector<char*> arguments;
  for (const std::string& argument : tool) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);

  rlimit limit{};
  int lastDescriptor = 1023;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    lastDescriptor = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 65536)) - 1;
  }
  const pid_t child = fork();
  if (child == 0) BecomeTool(input, output, errors, arguments.data(), lastDescriptor);
  return child;
}

bool ToolSucceeded(pid_t child, ToolClock::time_point deadline) {
  for (;;) {
    int status = 0;
    const pid_t result = waitpid(child, &status, WNOHANG);
    if (result == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (result < 0 && errno != EINTR) return false;
    if (ToolClock::now() >= deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace vrk_posix
