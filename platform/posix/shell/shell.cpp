// Opening a file as the desktop shell does: programs are started, other files are handed to
// the desktop's opener. Either way the new process is detached from the tool, which neither
// waits for it nor shares its open files with it.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/ascii.h"
#include "platform/posix/kernel/paths.h"
#include "platform/posix/win32.h"

namespace {

// The shell's own result codes; every code of 32 or less is a failure.
constexpr DWORD kOutOfMemory = 8;
constexpr DWORD kBadFormat = 11;
constexpr DWORD kNoAssociation = 31;
constexpr DWORD kStarted = 42;
constexpr DWORD kErrorNoAssociation = 1155;

constexpr long kMostDescriptorsClosed = 65536;

HINSTANCE Outcome(DWORD code) {
  if (code <= 32) SetLastError(code == kNoAssociation ? kErrorNoAssociation : code);
  return reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(code));
}

DWORD CodeFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case ENOEXEC:
      return kBadFormat;
    case ENOMEM:
    case E2BIG:
    case EAGAIN:
      return kOutOfMemory;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

bool IsOpenVerb(const char* verb) {
  if (verb == nullptr) return true;
  return vrk::ascii::EqualIgnoringCase(verb, "open");
}

// Blanks separate parameters; double quotes group blanks into one and are dropped.
std::vector<std::string> SplitParameters(const char* parameters) {
  std::vector<std::string> words;
  if (parameters == nullptr) return words;
  std::string word;
  bool quoted = false;
  bool inWord = false;
  for (const char* p = parameters; *p != '\0'; ++p) {
    if (*p == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (*p == ' ' || *p == '\t')) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += *p;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// Windows starts a program file whatever marks it bears; here a program (an ELF file or a
// script) of the user's that the tool is asked to start is made runnable for its owner.
void MarkProgramRunnable(const std::string& path, const struct stat& info) {
  if (!S_ISREG(info.st_mode) || (info.st_mode & S_IXUSR) != 0 || info.st_uid != ::geteuid()) return;
  char start[4] = {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  const ssize_t got = ::read(fd, start, sizeof start);
  ::close(fd);
  const bool elf = got == 4 && start[0] == 0x7f && start[1] == 'E' && start[2] == 'L' && start[3] == 'F';
  const bool script = got >= 2 && start[0] == '#' && start[1] == '!';
  if (elf || script) ::chmod(path.c_str(), (info.st_mode & 07777) | S_IXUSR);
}

// Looked up before forking: the child may only make calls that are safe after a fork.
std::string DesktopOpener() {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  for (;;) {
    const std::size_t colon = folders.find(':', start);
    std::string folder = folders.substr(start, colon - start);
    const std::string candidate = (folder.empty() ? "." : folder) + "/xdg-open";
    if (IsExecutableFile(candidate)) return candidate;
    if (colon == std::string::npos) return std::string();
    start = colon + 1;
  }
}

struct Launch {
  std::vector<char*> program;  // argument vector of the file itself, or empty
  std::vector<char*> opener;   // argument vector of the desktop's opener, or empty
  const char* folder = nullptr;
};

struct ChildReport {
  int error = 0;
  int openerFailed = 0;
};

void CloseInheritedDescriptors(int keep, long limit) {
#ifdef SYS_close_range
  const bool below = keep <= 3 || ::syscall(SYS_close_range, 3u, unsigned(keep - 1), 0u) == 0;
  if (below && ::syscall(SYS_close_range, unsigned(keep + 1), ~0u, 0u) == 0) return;
#endif
  for (int fd = 3; fd < limit; ++fd) {
    if (fd != keep) ::close(fd);
  }
}

[[noreturn]] void ReportAndExit(int pipe, int error, bool openerFailed) {
  const ChildReport report{error, openerFailed ? 1 : 0};
  [[maybe_unused]] const ssize_t ignored = ::write(pipe, &report, sizeof report);
  ::_exit(127);
}

// Runs in the detached grandchild: async-signal-safe calls only.
[[noreturn]] void Become(const Launch& launch, int pipe, long limit) {
  const int input = ::open("/dev/null", O_RDONLY);
  if (input > 0) {
    ::dup2(input, 0);
    ::close(input);
  }
  CloseInheritedDescriptors(pipe, limit);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &defaults, nullptr);
  ::sigaction(SIGXFSZ, &defaults, nullptr);
  if (launch.folder != nullptr && ::chdir(launch.folder) != 0) ReportAndExit(pipe, errno, false);
  if (!launch.program.empty()) {
    ::execv(launch.program[0], launch.program.data());
    // A file marked executable that is no program (as on a Windows-formatted disk) is
    // still a document to open.
    if (errno != ENOEXEC || launch.opener.empty()) ReportAndExit(pipe, errno, false);
  }
  ::execv(launch.opener[0], launch.opener.data());
  ReportAndExit(pipe, errno, true);
}

// Starts the launch in a new session through an intermediate child, so that nothing is
// left for the tool to wait for; the exec outcome comes back through a close-on-exec pipe.
ChildReport StartDetached(const Launch& launch) {
  int channel[2];
  if (::pipe2(channel, O_CLOEXEC) != 0) return ChildReport{errno, 0};
  long limit = ::sysconf(_SC_OPEN_MAX);
  if (limit < 0 || limit > kMostDescriptorsClosed) limit = kMostDescriptorsClosed;

  const pid_t child = ::fork();
  if (child < 0) {
    const int error = errno;
    ::close(channel[0]);
    ::close(channel[1]);
    return ChildReport{error, 0};
  }
  if (child == 0) {
    ::close(channel[0]);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild < 0) ReportAndExit(channel[1], errno, false);
    if (grandchild > 0) ::_exit(0);
    Become(launch, channel[1], limit);
  }

  ::close(channel[1]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  ChildReport report;
  ssize_t got;
  while ((got = ::read(channel[0], &report, sizeof report)) < 0 && errno == EINTR) {
  }
  ::close(channel[0]);
  return got == static_cast<ssize_t>(sizeof report) ? report : ChildReport{};
}

}  // namespace

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                        INT) {
  if (!IsOpenVerb(verb)) return Outcome(kNoAssociation);
  if (file == nullptr || *file == '\0') return Outcome(ERROR_FILE_NOT_FOUND);

  const std::string folder = directory != nullptr ? vrk_posix::PosixPath(directory) : std::string();
  std::string path = vrk_posix::PosixPath(file);
  if (path.front() != '/' && !folder.empty()) path = folder + "/" + path;
  std::error_code failed;
  const std::filesystem::path absolute = std::filesystem::absolute(path, failed);
  if (!failed) path = absolute.string();

  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return Outcome(CodeFromErrno(errno));
  MarkProgramRunnable(path, info);

  const bool program = S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
  const std::string opener = DesktopOpener();
  if (!program && opener.empty()) return Outcome(kNoAssociation);

  std::vector<std::string> programWords;
  if (program) {
    programWords.push_back(path);
    for (std::string& word : SplitParameters(parameters)) programWords.push_back(std::move(word));
  }
  std::vector<std::string> openerWords;
  if (!opener.empty()) openerWords = {opener, path};

  Launch launch;
  for (std::string& word : programWords) launch.program.push_back(word.data());
  if (!launch.program.empty()) launch.program.push_back(nullptr);
  for (std::string& word : openerWords) launch.opener.push_back(word.data());
  if (!launch.opener.empty()) launch.opener.push_back(nullptr);
  if (!folder.empty()) launch.folder = folder.c_str();

  const ChildReport report = StartDetached(launch);
  if (report.error == 0) return Outcome(kStarted);
  return Outcome(report.openerFailed ? kNoAssociation : CodeFromErrno(report.error));
}
