#include "platform/posix/clipboard/clipboard.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/posix/win32.h"

extern char** environ;

namespace vrk_posix {
namespace {

// How long the tool may take to read the text and put its holder in the background.
constexpr auto kToolLimit = std::chrono::seconds(10);

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != 0;
}

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// The first tool the desktop offers, with its arguments; empty when there is none.
std::vector<std::string> ClipboardTool() {
  if (IsSet("WAYLAND_DISPLAY")) {
    std::string program = FindProgram("wl-copy");
    if (!program.empty()) return {program};
  }
  if (IsSet("DISPLAY")) {
    std::string program = FindProgram("xclip");
    if (!program.empty()) return {program, "-selection", "clipboard"};
    program = FindProgram("xsel");
    if (!program.empty()) return {program, "--clipboard", "--input"};
  }
  return {};
}

// Runs in the forked child: only async-signal-safe calls from here on.
[[noreturn]] void BecomeTool(int input, char* const* arguments, int lastDescriptor) {
  // The holder outlives us: it gets its own session, and nothing of ours but the text
  // (no pipe to our output streams, no socket), so no one waits on it for an end of file.
  setsid();
  // Signals the tool ignores are the holder's to take as usual.
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &defaults, nullptr);
  sigaction(SIGXFSZ, &defaults, nullptr);
  int nothing = open("/dev/null", O_RDWR);
  if (input != 0) dup2(input, 0);
  if (nothing >= 0) {
    dup2(nothing, 1);
    dup2(nothing, 2);
  }
#ifdef SYS_close_range
  if (syscall(SYS_close_range, 3U, ~0U, 0U) != 0)
#endif
    for (int descriptor = 3; descriptor <= lastDescriptor; ++descriptor) close(descriptor);
  execve(arguments[0], arguments, environ);
  _exit(127);
}

// A socket rather than a pipe: a tool that quits early must not kill us with SIGPIPE.
bool SendAll(int socket, const std::string& text) {
  std::size_t sent = 0;
  while (sent < text.size()) {
    ssize_t count = send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    sent += static_cast<std::size_t>(count);
  }
  return true;
}

// The tool reads its input, forks the holder and exits; its exit status tells the outcome.
bool ToolSucceeded(pid_t child) {
  auto deadline = std::chrono::steady_clock::now() + kToolLimit;
  for (;;) {
    int status = 0;
    pid_t result = waitpid(child, &status, WNOHANG);
    if (result == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (result < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool RunTool(const std::vector<std::string>& tool, const std::string& text) {
  std::vector<char*> arguments;
  for (const std::string& argument : tool) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);

  rlimit limit{};
  int lastDescriptor = 1023;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    lastDescriptor = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 65536)) - 1;
  }

  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  pid_t child = fork();
  if (child == 0) {
    // The child's end loses its close-on-exec flag by being duplicated onto 0.
    int input = ends[1];
    if (input == 0) {
      input = dup(ends[1]);
    }
    BecomeTool(input, arguments.data(), lastDescriptor);
  }
  close(ends[1]);
  if (child < 0) {
    close(ends[0]);
    return false;
  }
  bool sent = SendAll(ends[0], text);
  close(ends[0]);
  return ToolSucceeded(child) && sent;
}

}  // namespace

bool PutTextOnClipboard(const std::string& text) {
  std::vector<std::string> tool = ClipboardTool();
  if (tool.empty() || !RunTool(tool, text)) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return false;
  }
  return true;
}

}  // namespace vrk_posix
