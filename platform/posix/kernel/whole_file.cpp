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

namespace {

// Where the folder takes no new file but the file itself may be written, it is written where
// it stands, flushed like a replacement; a kill in the middle may leave it partly written.
int WriteInPlace(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat info {};
  int error = ::fstat(fd, &info) != 0 ? errno : (S_ISREG(info.st_mode) ? 0 : EACCES);
  for (std::size_t done = 0; error == 0 && done < bytes.size();) {
    const ssize_t put = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (put > 0) {
      done += static_cast<std::size_t>(put);
    } else if (put == 0) {
      error = ENOSPC;
    } else if (errno != EINTR) {
      error = errno;
    }
  }
  if (error == 0 && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) error = errno;
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

}  // namespace

bool ReplaceWholeFile(const std::string& path, std::string_view bytes) {
  vrk_posix::ReplacementFile file(path);
  if (file.IsOpen() && file.Write(bytes.data(), bytes.size()) && file.Commit()) return true;
  int error = file.Error();
  FileIdentity existing;
  if ((error == EACCES || error == EPERM) && IdentifyRegularFile(path, existing) == ReadOutcome::kRead &&
      ::access(path.c_str(), W_OK) == 0) {
    error = WriteInPlace(path, bytes);
    if (error == 0) return true;
  }
  SetLastErrorFromErrno(error);
  return false;
}

}  // namespace vrk_posix
