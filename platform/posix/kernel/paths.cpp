#include "platform/posix/kernel/paths.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <filesystem>
#include <map>
#include <mutex>
#include <string_view>

namespace vrk_posix {

namespace {

// Parts of a long folder name are opened one after another, each well within the limit.
constexpr std::size_t kPart = PATH_MAX / 2;

// A folder whose name is too long for a single call, opened a part at a time; -1 with errno.
int OpenFolderInParts(const std::string& folder) {
  int fd = ::open(folder[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  std::size_t at = 0;
  while (fd >= 0 && at < folder.size()) {
    std::size_t end = folder.size();
    if (end - at > kPart) {
      end = folder.rfind('/', at + kPart);
      if (end == std::string::npos || end <= at) {
        ::close(fd);
        errno = ENAMETOOLONG;  // one folder's name alone is too long
        return -1;
      }
    }
    const std::string part = folder.substr(at, end - at);
    at = end + 1;
    if (part.empty()) continue;
    const int next = ::openat(fd, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int error = errno;
    ::close(fd);
    errno = error;
    fd = next;
  }
  return fd;
}

// A name the system cannot take whole is reached through an open handle of its folder, by
// the short name the process has for that handle. Each folder is opened once and stays open.
std::string ThroughOpenFolder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash + 1 == path.size()) return path;
  const std::string folder = path.substr(0, slash);
  static std::mutex lock;
  static std::map<std::string, int> opened;
  std::lock_guard<std::mutex> guard(lock);
  auto found = opened.find(folder);
  if (found == opened.end()) {
    const int fd = OpenFolderInParts(folder);
    if (fd < 0) return path;  // the call fails on the whole name and tells why
    found = opened.emplace(folder, fd).first;
  }
  return "/proc/self/fd/" + std::to_string(found->second) + path.substr(slash);
}

}  // namespace

std::string PosixPath(const char* name) {
  std::string path = name ? name : "";
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path.size() < PATH_MAX ? path : ThroughOpenFolder(path);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

namespace {

constexpr int kMostLinks = 40;

std::string Joined(const std::string& folder, const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string Normal(const std::string& path) {
  const std::string normal = std::filesystem::path(path).lexically_normal().string();
  return normal.size() > 1 && normal.back() == '/' ? normal.substr(0, normal.size() - 1) : normal;
}

// The N of "PREFIXN", or -1.
int NumberAfter(std::string_view path, std::string_view prefix) {
  if (!path.starts_with(prefix) || path.size() == prefix.size()) return -1;
  int number = -1;
  const char* end = path.data() + path.size();
  const auto [stop, error] = std::from_chars(path.data() + prefix.size(), end, number);
  return error == std::errc() && stop == end ? number : -1;
}

int DescriptorNamed(const std::string& path) {
  if (path == "/dev/stdin") return 0;
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  for (const std::string& prefix :
       {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
        "/proc/" + std::to_string(::getpid()) + "/fd/"}) {
    const int number = NumberAfter(path, prefix);
    if (number >= 0) return number;
  }
  return -1;
}

}  // namespace

std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int step = 0; step < kMostLinks; ++step) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
    if (length < 0) return current;
    current = Joined(FolderOf(current), std::string(target, static_cast<std::size_t>(length)));
  }
  errno = ELOOP;
  return {};
}

int OwnDescriptor(const std::string& path) {
  char folder[PATH_MAX];
  std::string current = path;
  if (current.empty()) return -1;
  if (current[0] != '/') {
    if (::getcwd(folder, sizeof folder) == nullptr) return -1;
    current = Joined(folder, current);
  }
  for (int step = 0; step < kMostLinks; ++step) {
    current = Normal(current);
    const int descriptor = DescriptorNamed(current);
    if (descriptor >= 0) return ::fcntl(descriptor, F_GETFD) != -1 ? descriptor : -1;
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return -1;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
    if (length < 0) return -1;
    current = Joined(FolderOf(current), std::string(target, static_cast<std::size_t>(length)));
  }
  return -1;
}

// The name never replaces an existing one: where the kernel cannot refuse that for us,
// a hard link refuses it for files, and a final check covers folders.
int RenameWithoutReplacing(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
#endif
  struct stat source {};
  if (::lstat(from.c_str(), &source) != 0) return -1;
  if (!S_ISDIR(source.st_mode)) {
    if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str());
    if (errno == EEXIST || errno == ENOENT || errno == ENOTDIR) return -1;
  }
  struct stat target {};
  if (::lstat(to.c_str(), &target) == 0) {
    errno = EEXIST;
    return -1;
  }
  return ::rename(from.c_str(), to.c_str());
}

int SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  ::close(fd);
  return error;
}

}  // namespace vrk_posix
