// Open files behind HANDLE values: each is a registered object of its own, so a file
// handle never equals a window handle, and a stale or foreign value is refused.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <mutex>
#include <unordered_set>

#include "platform/posix/kernel/errno_map.h"
#include "platform/posix/kernel/paths.h"
#include "platform/posix/win32.h"

namespace {

struct OpenFile {
  int fd;
  bool canRead;
  bool canWrite;
  // One of the process's own streams, reached by a name such as /dev/stdout: what the
  // console names are on Windows, a device of this process.
  bool ownStream = false;
};

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::unordered_set<OpenFile*>& Registry() {
  static std::unordered_set<OpenFile*> files;
  return files;
}

OpenFile* Lookup(HANDLE handle) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  auto found = Registry().find(static_cast<OpenFile*>(handle));
  return found == Registry().end() ? nullptr : *found;
}

HANDLE Failed(int error) {
  vrk_posix::SetLastErrorFromErrno(error);
  return INVALID_HANDLE_VALUE;
}

HANDLE Registered(OpenFile* file) {
  std::lock_guard<std::mutex> guard(RegistryLock());
  Registry().insert(file);
  return file;
}

// The open file itself, at its own position and with its own flags (appending where the
// shell opened it so): never created, truncated or opened anew.
HANDLE OwnStream(int descriptor, bool canRead, bool canWrite) {
  const int fd = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return Failed(errno);
  SetLastError(ERROR_SUCCESS);
  return Registered(new OpenFile{fd, canRead, canWrite, true});
}

}  // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD access, DWORD /*shareMode*/, LPVOID /*security*/,
                   DWORD disposition, DWORD /*flags*/, HANDLE /*templateFile*/) {
  if (fileName == nullptr) return Failed(EINVAL);
  const bool canRead = (access & GENERIC_READ) != 0;
  const bool canWrite = (access & GENERIC_WRITE) != 0;
  int flags = O_CLOEXEC;
  switch (disposition) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      if (!canWrite) return Failed(EINVAL);
      flags |= O_TRUNC;
      break;
    default:
      return Failed(EINVAL);
  }
  // POSIX leaves truncation through a read-only descriptor undefined; WriteFile still
  // honours the access asked for.
  const bool needsWrite = canWrite || (flags & O_TRUNC) != 0;
  flags |= needsWrite ? (canRead ? O_RDWR : O_WRONLY) : O_RDONLY;
  // No access asks only what the file is: a pipe must not wait here for its other end.
  if (access == 0 && disposition == OPEN_EXISTING) flags = O_PATH | O_CLOEXEC;
  const std::string path = vrk_posix::PosixPath(fileName);
  const int own = vrk_posix::OwnDescriptor(path);
  if (own >= 0) return disposition == CREATE_NEW ? Failed(EEXIST) : OwnStream(own, canRead, canWrite);
  struct stat before {};
  const bool existed = ::stat(path.c_str(), &before) == 0;
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return Failed(errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return Failed(EACCES);
  }
  HANDLE file = Registered(new OpenFile{fd, canRead, canWrite});
  // Windows reports an existing file that was opened or overwritten by these two.
  const bool reportsExisting = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
  SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return file;
}

BOOL WriteFile(HANDLE handle, LPCVOID data, DWORD count, LPDWORD written, LPVOID /*overlapped*/) {
  if (written) *written = 0;
  OpenFile* file = Lookup(handle);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!file->canWrite) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (count > 0 && data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const char* bytes = static_cast<const char*>(data);
  DWORD done = 0;
  while (done < count) {
    const ssize_t put = ::write(file->fd, bytes + done, count - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      if (written) *written = done;
      vrk_posix::SetLastErrorFromErrno(errno);
      return FALSE;
    }
    done += static_cast<DWORD>(put);
  }
  if (written) *written = done;
  return TRUE;
}

BOOL ReadFile(HANDLE handle, LPVOID data, DWORD count, LPDWORD read, LPVOID /*overlapped*/) {
  if (read) *read = 0;
  OpenFile* file = Lookup(handle);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!file->canRead) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (count > 0 && data == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  char* bytes = static_cast<char*>(data);
  DWORD done = 0;
  while (done < count) {
    const ssize_t got = ::read(file->fd, bytes + done, count - done);
    if (got == 0) break;  // end of file: success with fewer bytes
    if (got < 0) {
      if (errno == EINTR) continue;
      if (read) *read = done;
      vrk_posix::SetLastErrorFromErrno(errno);
      return FALSE;
    }
    done += static_cast<DWORD>(got);
  }
  if (read) *read = done;
  return TRUE;
}

BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, PLARGE_INTEGER newPosition,
                      DWORD method) {
  OpenFile* file = Lookup(handle);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  int whence = SEEK_SET;
  switch (method) {
    case FILE_BEGIN: whence = SEEK_SET; break;
    case FILE_CURRENT: whence = SEEK_CUR; break;
    case FILE_END: whence = SEEK_END; break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
  const off_t position = ::lseek(file->fd, static_cast<off_t>(distance.QuadPart), whence);
  if (position < 0) {
    // Windows names a position before the start a bad parameter too.
    vrk_posix::SetLastErrorFromErrno(errno);
    return FALSE;
  }
  if (newPosition) newPosition->QuadPart = static_cast<std::int64_t>(position);
  return TRUE;
}

DWORD GetFileType(HANDLE handle) {
  OpenFile* file = Lookup(handle);
  struct stat info {};
  if (file == nullptr || ::fstat(file->fd, &info) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FILE_TYPE_UNKNOWN;
  }
  SetLastError(ERROR_SUCCESS);
  if (file->ownStream) return FILE_TYPE_CHAR;
  if (S_ISREG(info.st_mode)) return FILE_TYPE_DISK;
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return FILE_TYPE_CHAR;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_UNKNOWN;
}

namespace {

// Windows counts 100-nanosecond steps from 1601.
FILETIME FileTime(const timespec& time) {
  constexpr std::uint64_t kFrom1601 = 116444736000000000ull;
  const std::uint64_t steps = kFrom1601 + static_cast<std::uint64_t>(time.tv_sec) * 10000000ull +
                              static_cast<std::uint64_t>(time.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
}

}  // namespace

BOOL GetFileInformationByHandle(HANDLE handle, BY_HANDLE_FILE_INFORMATION* information) {
  OpenFile* file = Lookup(handle);
  struct stat info {};
  if (file == nullptr || information == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (::fstat(file->fd, &info) != 0) {
    vrk_posix::SetLastErrorFromErrno(errno);
    return FALSE;
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  const auto index = static_cast<std::uint64_t>(info.st_ino);
  *information = BY_HANDLE_FILE_INFORMATION{
      static_cast<DWORD>(S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL),
      FileTime(info.st_ctim), FileTime(info.st_atim), FileTime(info.st_mtim),
      static_cast<DWORD>(info.st_dev), static_cast<DWORD>(size >> 32), static_cast<DWORD>(size),
      static_cast<DWORD>(info.st_nlink), static_cast<DWORD>(index >> 32), static_cast<DWORD>(index)};
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  OpenFile* file = nullptr;
  {
    std::lock_guard<std::mutex> guard(RegistryLock());
    auto found = Registry().find(static_cast<OpenFile*>(handle));
    if (found != Registry().end()) {
      file = *found;
      Registry().erase(found);
    }
  }
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const int result = ::close(file->fd);
  delete file;
  if (result != 0 && errno != EINTR) {
    vrk_posix::SetLastErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}
