// Current folder, attributes, renaming and deleting of files.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/kernel/errno_map.h"
#include "platform/posix/kernel/paths.h"
#include "platform/posix/win32.h"

namespace {

BOOL Fail(int error) {
  vrk_posix::SetLastErrorFromErrno(error);
  return FALSE;
}

// The folders a write-through move flushes, worked out before the move: nothing that can
// run out of memory comes after it.
struct Folders {
  Folders(const std::string& from, const std::string& to, DWORD flags)
      : to(flags & MOVEFILE_WRITE_THROUGH ? vrk_posix::FolderOf(to) : std::string()),
        from(flags & MOVEFILE_WRITE_THROUGH ? vrk_posix::FolderOf(from) : std::string()) {}

  // A write-through move is on the disk when it returns: both folders are flushed.
  BOOL Flush() const {
    if (to.empty()) return TRUE;
    int error = vrk_posix::SyncFolder(to);
    if (error == 0 && from != to) error = vrk_posix::SyncFolder(from);
    return error == 0 ? TRUE : Fail(error);
  }

  std::string to;
  std::string from;
};

// Sets a mode through a descriptor of the file about to be moved, not by name: another
// program may put a file of its own under the old name between the look and the move, and
// then the file that arrives gets the mode too.
class ModeCarrier {
 public:
  ModeCarrier(const std::string& from, mode_t mode) : mode_(mode) {
    if (mode == 0) return;
    fd_ = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0) {
      [[maybe_unused]] const int ignored = ::fchmod(fd_, mode_);
    }
  }
  ~ModeCarrier() {
    if (fd_ >= 0) ::close(fd_);
  }
  ModeCarrier(const ModeCarrier&) = delete;
  ModeCarrier& operator=(const ModeCarrier&) = delete;

  void After(const std::string& to) const {
    if (mode_ == 0) return;
    struct stat moved {};
    struct stat carried {};
    const bool same = fd_ >= 0 && ::fstat(fd_, &carried) == 0 && ::stat(to.c_str(), &moved) == 0 &&
                      moved.st_ino == carried.st_ino && moved.st_dev == carried.st_dev;
    if (same) return;
    const int arrived = ::open(to.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (arrived < 0) return;
    struct stat info {};
    if (::fstat(arrived, &info) == 0 && S_ISREG(info.st_mode)) {
      [[maybe_unused]] const int ignored = ::fchmod(arrived, mode_);
    }
    ::close(arrived);
  }

 private:
  mode_t mode_;
  int fd_ = -1;
};

}  // namespace

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  std::string folder(256, '\0');
  while (::getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) {
      vrk_posix::SetLastErrorFromErrno(errno);
      return 0;
    }
    folder.resize(folder.size() * 2);
  }
  folder.resize(std::strlen(folder.c_str()));
  // Too small a buffer gets nothing; the result is then the size needed, terminator included.
  if (buffer == nullptr || size <= folder.size()) return static_cast<DWORD>(folder.size() + 1);
  std::memcpy(buffer, folder.c_str(), folder.size() + 1);
  return static_cast<DWORD>(folder.size());
}

DWORD GetFileAttributesA(LPCSTR fileName) {
  struct stat info {};
  if (fileName == nullptr || ::stat(vrk_posix::PosixPath(fileName).c_str(), &info) != 0) {
    vrk_posix::SetLastErrorFromErrno(fileName == nullptr ? EINVAL : errno);
    return INVALID_FILE_ATTRIBUTES;
  }
  return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

DWORD GetFullPathNameA(LPCSTR fileName, DWORD size, LPSTR buffer, LPSTR* filePart) {
  if (fileName == nullptr || *fileName == '\0') {
    vrk_posix::SetLastErrorFromErrno(EINVAL);
    return 0;
  }
  std::string full = fileName;
  if (full[0] != '/' && full[0] != '\\') {
    char folder[MAX_PATH * 4];
    if (::getcwd(folder, sizeof folder) == nullptr) return Fail(errno);
    full = std::string(folder) + (folder[1] == '\0' ? "" : "/") + full;
  }
  // Too small a buffer gets nothing; the result is then the size needed, terminator included.
  if (buffer == nullptr || size <= full.size()) return static_cast<DWORD>(full.size() + 1);
  std::memcpy(buffer, full.c_str(), full.size() + 1);
  if (filePart != nullptr) {
    const std::size_t slash = full.find_last_of("/\\");
    *filePart = slash + 1 < full.size() ? buffer + slash + 1 : nullptr;
  }
  return static_cast<DWORD>(full.size());
}

BOOL MoveFileA(LPCSTR existingName, LPCSTR newName) { return MoveFileExA(existingName, newName, 0); }

BOOL DeleteFileA(LPCSTR fileName) {
  if (fileName == nullptr) return Fail(EINVAL);
  // unlink refuses a folder with EISDIR, which maps to access denied as on Windows.
  if (::unlink(vrk_posix::PosixPath(fileName).c_str()) != 0) return Fail(errno);
  return TRUE;
}

BOOL MoveFileExA(LPCSTR existingName, LPCSTR newName, DWORD flags) {
  if (existingName == nullptr || newName == nullptr) return Fail(EINVAL);
  const std::string from = vrk_posix::PosixPath(existingName);
  const std::string to = vrk_posix::PosixPath(newName);
  const Folders folders(from, to, flags);
  if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
    if (vrk_posix::RenameWithoutReplacing(from, to) != 0) {
      if (errno == EEXIST || errno == ENOTEMPTY) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
      }
      return Fail(errno);
    }
    return folders.Flush();
  }
  struct stat target {};
  const bool replaces = ::stat(to.c_str(), &target) == 0;
  // Windows replaces files only, never a folder.
  if (replaces && S_ISDIR(target.st_mode)) return Fail(EISDIR);
  // The file takes the replaced one's place with its permissions: a program swapped in
  // stays a program.
  const ModeCarrier mode(from, replaces && S_ISREG(target.st_mode) ? target.st_mode & 07777 : 0);
  if (::rename(from.c_str(), to.c_str()) != 0) return Fail(errno);
  mode.After(to);
  return folders.Flush();
}

BOOL CreateHardLinkA(LPCSTR newName, LPCSTR existingName, LPVOID) {
  if (existingName == nullptr || newName == nullptr) return Fail(EINVAL);
  // A link stands for the file it points at: the new name is that file's.
  if (::linkat(AT_FDCWD, vrk_posix::PosixPath(existingName).c_str(), AT_FDCWD,
               vrk_posix::PosixPath(newName).c_str(), AT_SYMLINK_FOLLOW) != 0) {
    if (errno == EEXIST) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE;
    }
    return Fail(errno);
  }
  return TRUE;
}
