// The runner on POSIX: the tool is spawned and its boxes read from its output streams.
#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <algorithm>
#include <stdexcept>

#include "vrk_runner.h"

extern char** environ;

namespace vrk_test {

namespace fs = std::filesystem;

ToolFolder::ToolFolder() {
  std::string pattern = (fs::temp_directory_path() / "vrk-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  fs::copy_file(VRK_EXECUTABLE, File(ExecutableName()));
  fs::permissions(File(ExecutableName()), fs::perms::owner_all);
}

const char* ToolFolder::ExecutableName() { return "vrk"; }

namespace {

// The high-water mark of the process's own memory so far. The child's rusage cannot tell:
// started from this large process, it counts this one's memory too.
long PeakKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

void Drain(int fd, std::string& into, bool& open) {
  char buffer[4096];
  ssize_t count = read(fd, buffer, sizeof buffer);
  if (count > 0) {
    into.append(buffer, static_cast<std::size_t>(count));
  } else if (count == 0 || errno != EINTR) {
    open = false;
  }
}
}  // namespace

RunResult ToolFolder::Run(const std::vector<std::string>& arguments, const std::string& workDir,
                          const std::vector<std::string>& environment, int timeoutSeconds) const {
  return Spawn(File(ExecutableName()), arguments, workDir, environment, timeoutSeconds);
}

RunResult ToolFolder::RunNamed(const std::string& programName, const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment) const {
  return Spawn(programName, arguments, "", environment, 20);
}

RunResult ToolFolder::Spawn(std::string programName, const std::vector<std::string>& arguments,
                            const std::string& workDir, const std::vector<std::string>& environment,
                            int timeoutSeconds) const {
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::string program = File(ExecutableName());
  std::vector<char*> argv{programName.data()};
  std::vector<std::string> args = arguments;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // Entries named in `environment` replace the inherited ones of the same name.
  auto named = [&environment](const std::string& entry) {
    std::string name = entry.substr(0, entry.find('='));
    for (const std::string& extra : environment) {
      if (extra.substr(0, extra.find('=')) == name) return true;
    }
    return false;
  };
  std::vector<std::string> env;
  for (char** entry = environ; *entry; ++entry) {
    if (!named(*entry)) env.emplace_back(*entry);
  }
  for (const std::string& extra : environment) env.push_back(extra);
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::string dir = workDir.empty() ? path_ : workDir;
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
  pid_t pid;
  int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  if (failed) throw std::runtime_error("posix_spawn failed");

  RunResult result;
  bool outOpen = true, errOpen = true;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (outOpen || errOpen) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0}, {errOpen ? errPipe[0] : -1, POLLIN, 0}};
    // Looked at often while the run lasts: the mark only grows, so the last look counts.
    const int ready = poll(fds, 2, static_cast<int>(std::min<long>(left.count(), 20)));
    result.peakKiB = std::max(result.peakKiB, PeakKiB(pid));
    if (ready <= 0) continue;
    if (fds[0].revents) Drain(outPipe[0], result.out, outOpen);
    if (fds[1].revents) Drain(errPipe[0], result.err, errOpen);
  }
  close(outPipe[0]);
  close(errPipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace vrk_test

#endif
