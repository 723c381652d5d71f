#include "tests/support/child_process.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "tests/support/host.h"

namespace vrk_test {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

void CloseOnce(HANDLE& handle) {
  if (handle != nullptr) CloseHandle(handle);
  handle = nullptr;
}

}  // namespace

struct ChildProcess::State {
  ~State() {
    for (HANDLE* handle : {&process.hProcess, &process.hThread, &input, &output, &error}) {
      CloseOnce(*handle);
    }
  }

  PROCESS_INFORMATION process{};
  HANDLE input = nullptr;
  HANDLE output = nullptr;
  HANDLE error = nullptr;
  std::optional<int> exitCode;
};

namespace {

// The form in which the tool's splitting rule gives the argument back: quoted when it holds a
// separator or is empty. The rule has no escape, so a double quote inside a quoted argument
// cannot be carried and is dropped (the POSIX line is built alike).
std::string Quoted(const std::string& argument) {
  bool needsQuotes = argument.empty();
  for (unsigned char c : argument) {
    if ((c >= 1 && c <= 32) || c == '"') needsQuotes = true;
  }
  if (!needsQuotes) return argument;
  std::string quoted = "\"";
  for (char c : argument) {
    if (c != '"') quoted += c;
  }
  return quoted + "\"";
}

// Environment names are case-insensitive on Windows; "=C:" style entries keep their leading
// "=" as part of the name.
std::string NameOf(const std::string& entry) {
  std::string name = entry.substr(0, entry.find('=', 1));
  CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
  return name;
}

bool Named(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& seen : names) {
    if (seen == name) return true;
  }
  return false;
}

// The inherited block with the changes in place of entries of the same name; of two changes
// with one name the first counts, as getenv finds the first on POSIX.
std::string EnvironmentBlock(const std::vector<std::string>& changes) {
  std::vector<std::string> names;
  std::string block;
  for (const std::string& change : changes) {
    const std::string name = NameOf(change);
    if (Named(names, name)) continue;
    names.push_back(name);
    if (change.find('=', 1) != std::string::npos) block += change + '\0';
  }
  LPCH inherited = GetEnvironmentStringsA();
  for (const char* entry = inherited; *entry != '\0'; entry += std::strlen(entry) + 1) {
    if (!Named(names, NameOf(entry))) block += std::string(entry) + '\0';
  }
  FreeEnvironmentStringsA(inherited);
  return block + '\0';
}

// One standard stream of the child: `theirs` gets the handle it inherits and `ours` this
// process's end of a pipe.
void Direct(Stream stream, DWORD standard, HANDLE& ours, HANDLE& theirs) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const bool childReads = standard == STD_INPUT_HANDLE;
  if (stream == Stream::kNull) {
    theirs = CreateFileA("NUL", childReads ? GENERIC_READ : GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
  } else if (stream == Stream::kPipe) {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inheritable, 0)) throw std::runtime_error("pipe failed");
    ours = childReads ? write : read;
    theirs = childReads ? read : write;
    // Only the child's end goes to the child, or its input would never see an end.
    SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0);
  } else {
    HANDLE own = GetStdHandle(standard);
    DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &theirs, 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
  }
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const ChildOptions& options)
    : state_(std::make_unique<State>()) {
  const std::string path = NativePath(program);
  std::string line = "\"" + options.programName.value_or(path) + "\"";
  for (const std::string& argument : options.arguments) line += " " + Quoted(argument);
  std::string block = EnvironmentBlock(options.environment);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (options.showState) {
    startup.dwFlags |= STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(*options.showState);
  }
  // Standard handles are handed over only when a test asks for other ones than its own.
  const bool redirected = options.input != Stream::kInherit || options.output != Stream::kInherit ||
                          options.error != Stream::kInherit;
  HANDLE theirs[3] = {nullptr, nullptr, nullptr};
  if (redirected) {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    Direct(options.input, STD_INPUT_HANDLE, state_->input, theirs[0]);
    Direct(options.output, STD_OUTPUT_HANDLE, state_->output, theirs[1]);
    Direct(options.error, STD_ERROR_HANDLE, state_->error, theirs[2]);
    startup.hStdInput = theirs[0];
    startup.hStdOutput = theirs[1];
    startup.hStdError = theirs[2];
  }
  const bool started =
      CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, redirected, 0,
                     options.environment.empty() ? nullptr : block.data(),
                     options.workDir.empty() ? nullptr : options.workDir.c_str(), &startup,
                     &state_->process) != FALSE;
  const DWORD failure = GetLastError();
  for (HANDLE& handle : theirs) CloseOnce(handle);
  if (!started) {
    state_->process = {};
    throw std::runtime_error("cannot start " + path + ": error " + std::to_string(failure));
  }
  CloseOnce(state_->process.hThread);
}

ChildProcess::~ChildProcess() { Kill(); }

unsigned long ChildProcess::Id() const { return state_->process.dwProcessId; }

std::optional<int> ChildProcess::Wait(milliseconds timeout) {
  if (!state_->exitCode &&
      WaitForSingleObject(state_->process.hProcess, static_cast<DWORD>(timeout.count())) ==
          WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(state_->process.hProcess, &code);
    state_->exitCode = static_cast<int>(code);
  }
  return state_->exitCode;
}

std::optional<int> ChildProcess::Stop(milliseconds) {
  if (Wait(milliseconds(0))) return state_->exitCode;
  Kill();
  return std::nullopt;
}

void ChildProcess::Kill() {
  if (state_->process.hProcess == nullptr || Wait(milliseconds(0))) return;
  TerminateProcess(state_->process.hProcess, 1);
  WaitForSingleObject(state_->process.hProcess, 5000);
}

void ChildProcess::CloseInput() { CloseOnce(state_->input); }

namespace {

// What waits in the pipe, read without blocking; false once the pipe has ended.
bool Drain(HANDLE pipe, std::string& into, std::size_t most) {
  DWORD available = 0;
  if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
  if (available == 0) return true;
  std::string buffer(std::min<std::size_t>(available, most), '\0');
  DWORD got = 0;
  if (!ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
  into.append(buffer.data(), got);
  return true;
}

}  // namespace

std::string ChildProcess::ReadLine(milliseconds timeout) {
  // Anonymous pipes cannot be read with a time-out, so the pipe is looked at until a byte waits.
  const auto deadline = Clock::now() + timeout;
  std::string line;
  while (Clock::now() < deadline) {
    const std::size_t had = line.size();
    if (!Drain(state_->output, line, 1)) break;
    if (line.size() > had && line.back() == '\n') {
      line.pop_back();
      break;
    }
    if (line.size() == had) std::this_thread::sleep_for(milliseconds(10));
  }
  return line;
}

bool ChildProcess::ReadToEnd(std::string& output, std::string& error, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (state_->output != nullptr || state_->error != nullptr) {
    if (Clock::now() >= deadline) return false;
    const std::size_t had = output.size() + error.size();
    if (state_->output != nullptr && !Drain(state_->output, output, 65536)) CloseOnce(state_->output);
    if (state_->error != nullptr && !Drain(state_->error, error, 65536)) CloseOnce(state_->error);
    if (output.size() + error.size() == had) std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

long ChildProcess::PeakKiB() const { return 0; }

long ChildProcess::MaxRssKiB() const { return 0; }

}  // namespace vrk_test
