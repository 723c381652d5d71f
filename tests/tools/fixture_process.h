// The HTTP fixture executable started as a child with pipes for its input and its output.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

#include <chrono>
#include <string>
#include <thread>

namespace vrk::testing {

class FixtureProcess {
 public:
  FixtureProcess(const std::string& program, const std::string& folder);
  ~FixtureProcess();
  FixtureProcess(const FixtureProcess&) = delete;
  FixtureProcess& operator=(const FixtureProcess&) = delete;

  bool Started() const;
  // The first line of its output, read within the time.
  std::string FirstLine(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  void CloseInput();
  // Its exit status, or -1 when it has not ended within the time.
  int AwaitExit(std::chrono::milliseconds timeout);
#ifndef _WIN32
  void Terminate() { ::kill(pid_, SIGTERM); }
#endif

 private:
  // One byte of output if one comes before the deadline.
  bool ReadByte(char& c, std::chrono::steady_clock::time_point deadline);

#ifdef _WIN32
  PROCESS_INFORMATION process_{};
  HANDLE input_ = nullptr;
  HANDLE output_ = nullptr;
#else
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
#endif
  bool exited_ = false;
};

inline std::string FixtureProcess::FirstLine(std::chrono::milliseconds timeout) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  char c = 0;
  while (line.find('\n') == std::string::npos && ReadByte(c, deadline)) line += c;
  return line;
}

#ifdef _WIN32

inline FixtureProcess::FixtureProcess(const std::string& program, const std::string& folder) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE childInput = nullptr;
  HANDLE childOutput = nullptr;
  if (!CreatePipe(&childInput, &input_, &inheritable, 0)) return;
  if (!CreatePipe(&output_, &childOutput, &inheritable, 0)) {
    CloseHandle(childInput);
    return;
  }
  // Only the child's ends go to the child, or its input would never see an end.
  SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput;
  startup.hStdOutput = childOutput;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::string commandLine = "\"" + program + "\" \"" + folder + "\"";
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process_)) {
    process_ = {};
  }
  CloseHandle(childInput);
  CloseHandle(childOutput);
}

inline FixtureProcess::~FixtureProcess() {
  if (process_.hProcess != nullptr) {
    if (!exited_) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
  if (input_ != nullptr) CloseHandle(input_);
  if (output_ != nullptr) CloseHandle(output_);
}

inline bool FixtureProcess::Started() const { return process_.hProcess != nullptr; }

inline bool FixtureProcess::ReadByte(char& c, std::chrono::steady_clock::time_point deadline) {
  // Anonymous pipes cannot be read with a time-out, so the read waits until a byte is there.
  while (std::chrono::steady_clock::now() < deadline) {
    DWORD available = 0;
    if (!PeekNamedPipe(output_, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available > 0) {
      DWORD got = 0;
      return ReadFile(output_, &c, 1, &got, nullptr) && got == 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

inline void FixtureProcess::CloseInput() {
  CloseHandle(input_);
  input_ = nullptr;
}

inline int FixtureProcess::AwaitExit(std::chrono::milliseconds timeout) {
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
    return -1;
  }
  exited_ = true;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<int>(code);
}

#else

inline FixtureProcess::FixtureProcess(const std::string& program, const std::string& folder) {
  int input[2];
  int output[2];
  if (::pipe2(input, O_CLOEXEC) != 0) return;
  if (::pipe2(output, O_CLOEXEC) != 0) {
    ::close(input[0]);
    ::close(input[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  std::string path = program;
  std::string argument = folder;
  char* argv[] = {path.data(), argument.data(), nullptr};
  if (::posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(input[0]);
  ::close(output[1]);
  input_ = input[1];
  output_ = output[0];
}

inline FixtureProcess::~FixtureProcess() {
  if (pid_ > 0 && !exited_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (input_ >= 0) ::close(input_);
  if (output_ >= 0) ::close(output_);
}

inline bool FixtureProcess::Started() const { return pid_ > 0; }

inline bool FixtureProcess::ReadByte(char& c, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd descriptor{output_, POLLIN, 0};
    if (::poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) continue;
    return ::read(output_, &c, 1) == 1;
  }
}

inline void FixtureProcess::CloseInput() {
  ::close(input_);
  input_ = -1;
}

inline int FixtureProcess::AwaitExit(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

#endif

}  // namespace vrk::testing
