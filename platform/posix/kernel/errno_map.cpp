#include "platform/posix/kernel/errno_map.h"

#include <cerrno>

namespace vrk_posix {

namespace {
// Codes the emulated header does not name because nothing above this layer looks at them.
constexpr DWORD kErrorWriteProtect = 19;
constexpr DWORD kErrorSharingViolation = 32;
constexpr DWORD kErrorFileExists = 80;
constexpr DWORD kErrorDiskFull = 112;
constexpr DWORD kErrorDirNotEmpty = 145;
constexpr DWORD kErrorFilenameTooLong = 206;
constexpr DWORD kErrorTooManyOpenFiles = 4;
}  // namespace

DWORD Win32ErrorFromErrno(int error) noexcept {
  switch (error) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EROFS:
      return kErrorWriteProtect;
    case EBUSY:
    case ETXTBSY:
      return kErrorSharingViolation;
    case EEXIST:
      return kErrorFileExists;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

void SetLastErrorFromErrno(int error) noexcept { SetLastError(Win32ErrorFromErrno(error)); }

}  // namespace vrk_posix
