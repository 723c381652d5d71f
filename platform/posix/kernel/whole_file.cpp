#include "platform/posix/kernel/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/kernel/errno_map.h"
#include "platform/posix/kernel/replacement_file.h"

namespace vrk_posix {

namespace {

ReadOutcome Identity(const struct stat& info, FileIdentity& identity) {
  if (!S_ISREG(info.st_mode)) return ReadOutcome::kMissing;
  identity = FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
  return ReadOutcome::kRead;
}

ReadOutcome Failed(int fd) {
  const int error = errno;
  ::close(fd);
  errno = error;
  return ReadOutcome::kFailed;
}

}  // namespace

ReadOutcome IdentifyRegularFile(const std::string& path, FileIdentity& identity) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    return errno == ENOENT ? ReadOutcome::kMissing : ReadOutcome::kFailed;
  }
  return Identity(info, identity);
}

ReadOutcome ReadRegularFile(const std::string& path, std::string& bytes, FileIdentity& identity) {
  bytes.clear();
  // Looked at before opening: opening a device can do something of its own.
  const ReadOutcome found = IdentifyRegularFile(path, identity);
  if (found != ReadOutcome::kRead) return found;
  // Non-blocking, in case a FIFO took the file's place since.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadOutcome::kMissing : ReadOutcome::kFailed;
  struct stat info {};
  if (::fstat(fd, &info) != 0) return Failed(fd);
  if (Identity(info, identity) != ReadOutcome::kRead) {
    ::close(fd);
    return ReadOutcome::kMissing;
  }
  // One read for a file that keeps its size while it is read; more when it grows.
  bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
  std::size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
    if (got > 0) {
      filled += static_cast<std::size_t>(got);
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      bytes.clear();
      return Failed(fd);
    }
  }
  ::close(fd);
  bytes.resize(filled);
  return ReadOutcome::kRead;
}

bool ReplaceWholeFile(const std::string& path, std::string_view bytes) {
  vrk_posix::ReplacementFile file(path);
  if (file.IsOpen() && file.Write(bytes.data(), bytes.size()) && file.Commit()) return true;
  SetLastErrorFromErrno(file.Error());
  return false;
}

}  // namespace vrk_posix
