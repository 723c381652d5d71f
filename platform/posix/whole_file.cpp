#include "platform/posix/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform/posix/errno_map.h"
#include "platform/posix/paths.h"

namespace vrk {

ReadOutcome ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadOutcome::kMissing : ReadOutcome::kFailed;
  char chunk[16384];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got > 0) {
      bytes.append(chunk, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      const int error = errno;
      ::close(fd);
      errno = error;
      return ReadOutcome::kFailed;
    }
  }
  ::close(fd);
  return ReadOutcome::kRead;
}

namespace {

// Writing through a link must change the file it points at, not replace the link.
std::string ResolvedTarget(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A fresh file beside the target; its name starts with a dot so that listings skip it.
int CreateTemporary(const std::string& target, std::string& name) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(target);
  const std::string prefix = (folder == "/" ? "" : folder) + "/." + BaseOf(target) + ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = prefix + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1) ^ static_cast<unsigned>(std::time(nullptr))) +
           ".tmp";
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool Fail(int error) {
  SetLastErrorFromErrno(error);
  return false;
}

}  // namespace

bool ReplaceWholeFile(const std::string& path, std::string_view bytes) {
  if (path.empty()) return Fail(ENOENT);
  const std::string target = ResolvedTarget(path);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) return Fail(errno);
  if (exists) {
    if (!S_ISREG(existing.st_mode)) return Fail(EACCES);
    if (::access(target.c_str(), W_OK) != 0) return Fail(errno);
  }

  std::string temporary;
  const int fd = CreateTemporary(target, temporary);
  // A missing folder is a missing path, not a missing file.
  if (fd < 0) return Fail(errno == ENOENT ? ENOTDIR : errno);
  bool ok = true;
  if (exists) {
    ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    // Only a privileged writer can hand the file back to its owner; others already own it.
    if (ok && (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())) {
      [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
    }
  }
  ok = ok && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temporary.c_str());
    return Fail(error);
  }
  SyncFolder(FolderOf(target));
  return true;
}

}  // namespace vrk
