#include "platform/posix/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "platform/posix/paths.h"

namespace vrk_posix {

namespace {

// Writing onto a link must change the file it points at, not replace the link.
std::string ResolvedTarget(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Its name starts with a dot so that listings skip it while it grows.
int CreateTemporary(const std::string& target, std::string& name) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = vrk::FolderOf(target);
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

}  // namespace

ReplacementFile::ReplacementFile(const std::string& target) : target_(ResolvedTarget(target)) {
  if (target_.empty() || target_.back() == '/') {
    Fail(target_.empty() ? ENOENT : EISDIR);
    return;
  }
  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT && errno != ENOTDIR) {
    Fail(errno);
    return;
  }
  // Found out now rather than after the whole transfer.
  if (exists && (!S_ISREG(existing.st_mode) || ::access(target_.c_str(), W_OK) != 0)) {
    Fail(EACCES);
    return;
  }
  fd_ = CreateTemporary(target_, temporary_);
  if (fd_ < 0) {
    // A missing folder is a missing path, not a missing file.
    Fail(errno == ENOENT ? ENOTDIR : errno);
    return;
  }
  if (!exists) return;
  if (::fchmod(fd_, existing.st_mode & 07777) != 0) Fail(errno);
  // Only a privileged writer can hand the file back to its owner; others already own it.
  if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
    [[maybe_unused]] const int ignored = ::fchown(fd_, existing.st_uid, existing.st_gid);
  }
}

ReplacementFile::~ReplacementFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

bool ReplacementFile::Fail(int error) {
  if (error_ == 0) error_ = error;
  return false;
}

bool ReplacementFile::Write(const char* data, std::size_t size) {
  if (fd_ < 0 || error_ != 0) return false;
  while (size > 0) {
    const ssize_t put = ::write(fd_, data, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return Fail(errno);
    }
    data += put;
    size -= static_cast<std::size_t>(put);
  }
  return true;
}

bool ReplacementFile::Commit() {
  if (fd_ < 0 || error_ != 0) return false;
  if (::fsync(fd_) != 0) return Fail(errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail(errno);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) return Fail(errno);
  committed_ = true;
  SyncFolder(vrk::FolderOf(target_));
  return true;
}

}  // namespace vrk_posix
