// Process services: last error, sleeping, the tick count, the command line, the
// module path, start-up information and the COM start-up the tool asks for.
#include <fcntl.h>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/posix/kernel/errno_map.h"
#include "platform/posix/kernel/paths.h"
#include "platform/posix/kernel/process_arguments.h"
#include "platform/posix/win32.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

// Any fixed non-null value serves; this one is where Windows loads executables.
const HMODULE kOwnModule = reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x400000));

bool NeedsQuotes(const std::string& argument) {
  for (unsigned char c : argument) {
    if ((c >= 1 && c <= 32) || c == '"') return true;
  }
  return false;
}

// What main handed over, kept as main's own array (which lasts as long as the process), so
// that handing it over cannot fail; a program whose main does not (a test program) reads
// its own from /proc.
int handedCount = -1;
const char* const* handedArguments = nullptr;

// A line built from part of the arguments would run the program on other parameters than
// it was given (a delivery to a file going to the clipboard), so a failed read ends it.
[[noreturn]] void RefuseToRun(int error) {
  const char* reason = std::strerror(error);
  const char prefix[] = "cannot read the command line: ";
  [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, prefix, sizeof prefix - 1);
  ignored = ::write(STDERR_FILENO, reason, std::strlen(reason));
  ignored = ::write(STDERR_FILENO, "\n", 1);
  std::_Exit(EXIT_FAILURE);
}

// The arguments from /proc, each ended by a zero byte there. Read with the plain calls: a
// file stream would set up the stream library's locales, a tenth of the work of a run that
// shows one box.
std::vector<std::string> ReadProcessArguments() {
  std::string bytes;
  const int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  if (fd < 0) RefuseToRun(errno);
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got > 0) {
      bytes.append(chunk, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      RefuseToRun(errno);
    }
  }
  ::close(fd);
  std::vector<std::string> arguments;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\0', start);
    if (end == std::string::npos) end = bytes.size();
    arguments.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  return arguments;
}

// POSIX hands over the arguments already split, so the raw line is rebuilt in a form
// that the splitting rule takes apart into the same arguments again.
std::string BuildCommandLine() {
  const std::vector<std::string> arguments =
      handedCount >= 0 ? std::vector<std::string>(handedArguments, handedArguments + handedCount)
                       : ReadProcessArguments();
  if (arguments.empty()) return "\"\"";  // not even a program name: an empty one

  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line += ' ';
    if (argument.empty()) {
      // An empty pair, which the rule skips, as an empty argument is on Windows.
      line += "\"\"";
    } else if (NeedsQuotes(argument)) {
      // The rule has no escape character, so a double quote inside an argument
      // cannot be carried; it is dropped and the rest of the argument kept.
      line += '"';
      for (char c : argument) {
        if (c != '"') line += c;
      }
      line += '"';
    } else {
      line += argument;
    }
  }
  return line;
}

// The name this program was started by, made whole against the folder it started in; empty
// where only /proc can tell: a link, a name that no longer is a plain file.
std::string StartName() {
  const char* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
  if (started == nullptr || *started == '\0') return {};
  std::string path;
  if (*started != '/') {
    char* folder = ::getcwd(nullptr, 0);
    if (folder == nullptr) return {};
    path = folder;
    std::free(folder);
    if (path == "/") path.clear();
  }
  std::string_view rest(started);
  bool climbs = false;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    // Kept as it is: the system takes a ".." after a linked folder to that folder's parent,
    // as it did when it started the program, where dropping it with the name before would not.
    climbs = climbs || part == "..";
    path += '/';
    path += part;
  }
  struct stat info;
  if (path.empty() || ::lstat(vrk_posix::PosixPath(path.c_str()).c_str(), &info) != 0 ||
      !S_ISREG(info.st_mode)) {
    return {};
  }
  // A name that climbs is taken only once it proves to be the program itself.
  struct stat program;
  if (climbs && (::stat("/proc/self/exe", &program) != 0 || program.st_ino != info.st_ino ||
                 program.st_dev != info.st_dev)) {
    return {};
  }
  return path;
}

// False, errno kept, when the link cannot be read.
bool ReadOwnExecutablePath(std::string& path) {
  // The first look into /proc costs a tenth of the tool's whole start; the name it was started
  // by is found once, and stays the program's name even after a new file was moved over it.
  static const std::string startName = StartName();
  if (!startName.empty()) {
    path = startName;
    return true;
  }
  path.assign(256, '\0');
  for (;;) {
    ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return false;
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return true;
    }
    path.resize(path.size() * 2);  // may have been cut; try again with more room
  }
}

}  // namespace

void vrk_posix::SetProcessArguments(int count, const char* const* arguments) {
  if (handedCount >= 0 || count < 0 || (count > 0 && arguments == nullptr)) return;
  handedArguments = arguments;
  handedCount = count;
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD code) { lastError = code; }

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  if (milliseconds == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetTickCount() {
  auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count();
  return static_cast<DWORD>(ms);  // wraps after 49.7 days, as on Windows
}

LPSTR GetCommandLineA() {
  // Built once so that the pointer stays valid and the same for the whole run.
  static std::string line = BuildCommandLine();
  return line.data();
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
  if (module != nullptr && module != kOwnModule) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (buffer == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::string path;
  if (!ReadOwnExecutablePath(path)) {
    vrk_posix::SetLastErrorFromErrno(errno);
    return 0;
  }
  // Cut, as Windows cuts: the size returned and the cut reported, so that a caller can tell
  // a cut path from a whole one and ask again with more room.
  if (path.size() >= size) {
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(buffer, path.data(), path.size());
  buffer[path.size()] = '\0';
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(path.size());
}

HMODULE GetModuleHandleA(LPCSTR name) {
  if (name == nullptr) return kOwnModule;
  SetLastError(ERROR_FILE_NOT_FOUND);  // no other modules are known here
  return nullptr;
}

void GetStartupInfoA(STARTUPINFOA* info) {
  if (info == nullptr) return;
  std::memset(info, 0, sizeof(*info));
  info->cb = sizeof(*info);
  // A terminal start has no show state; tests name one to play a minimised or
  // maximised start.
  const char* state = std::getenv("VRK_SHOW_STATE");
  if (state == nullptr || *state == '\0') return;
  unsigned long value = 0;
  for (const char* p = state; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return;
    value = value * 10 + static_cast<unsigned long>(*p - '0');
    if (value > 0xFFFF) return;
  }
  info->dwFlags = STARTF_USESHOWWINDOW;
  info->wShowWindow = static_cast<WORD>(value);
}

HRESULT CoInitialize(LPVOID) { return S_OK; }

void CoUninitialize() {}

DWORD GetCurrentThreadId() {
  thread_local const DWORD id = static_cast<DWORD>(::syscall(SYS_gettid));
  return id;
}
