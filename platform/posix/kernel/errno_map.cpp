#include "platform/posix/kernel/errno_map.h"

#include <cerrno>

namespace vrk_posix {

namespace {

// Codes the emulated header does not name because nothing above this layer looks at them.
constexpr DWORD kErrorInvalidFunction = 1;
constexpr DWORD kErrorNotSameDevice = 17;
constexpr DWORD kErrorWriteProtect = 19;
constexpr DWORD kErrorNotReady = 21;
constexpr DWORD kErrorCrc = 23;
constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorNotSupported = 50;
constexpr DWORD kErrorDevNotExist = 55;
constexpr DWORD kErrorUnexpectedNetError = 59;
constexpr DWORD kErrorNetNameDeleted = 64;
constexpr DWORD kErrorFileExists = 80;
constexpr DWORD kErrorDiskFull = 112;
constexpr DWORD kErrorSemTimeout = 121;
constexpr DWORD kErrorInvalidName = 123;
constexpr DWORD kErrorSeekOnDevice = 132;
constexpr DWORD kErrorDirNotEmpty = 145;
constexpr DWORD kErrorFilenameTooLong = 206;
constexpr DWORD kErrorFileTooLarge = 223;
constexpr DWORD kErrorNoData = 232;
constexpr DWORD kErrorOperationAborted = 995;
constexpr DWORD kErrorNoAccess = 998;
constexpr DWORD kErrorIoDevice = 1117;
constexpr DWORD kErrorTooManyLinks = 1142;
constexpr DWORD kErrorFileCorrupt = 1392;
constexpr DWORD kErrorNoSystemResources = 1450;
constexpr DWORD kErrorCantResolveFilename = 1921;

}  // namespace

// Each errno value a file call can give becomes the code Windows gives for the same
// condition, so that a failure is told as it happened (a full disk, a file-size limit, a
// broken disk), never as a refusal it was not.
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
#ifdef ENOKEY
    case ENOKEY:  // an encrypted file without its key
#endif
      return ERROR_ACCESS_DENIED;
    case EROFS:
      return kErrorWriteProtect;
    case EBUSY:
    case ETXTBSY:
      return ERROR_SHARING_VIOLATION;
    case EAGAIN:  // a lock or lease of another process stands in the way
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
      return ERROR_LOCK_VIOLATION;
    case EEXIST:
      return kErrorFileExists;
    case ENOSPC:
    case EDQUOT:  // a user over the quota is told the disk is full, as on Windows
      return kErrorDiskFull;
    case EFBIG:
    case EOVERFLOW:
      return kErrorFileTooLarge;
    case EIO:
#ifdef EREMOTEIO
    case EREMOTEIO:
#endif
      return kErrorIoDevice;
    case EBADMSG:  // a checksum of the file system that does not match
      return kErrorCrc;
#ifdef EUCLEAN
    case EUCLEAN:
      return kErrorFileCorrupt;
#endif
    case ENOTEMPTY:
      return kErrorDirNotEmpty;
    case ENAMETOOLONG:
      return kErrorFilenameTooLong;
    case EILSEQ:  // a name the file system cannot store
      return kErrorInvalidName;
    case ELOOP:
      return kErrorCantResolveFilename;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case EXDEV:
      return kErrorNotSameDevice;
    case EMLINK:
      return kErrorTooManyLinks;
    case EPIPE:
      return kErrorNoData;
    case ESPIPE:
      return kErrorSeekOnDevice;
    case ENXIO:
    case ENODEV:
      return kErrorDevNotExist;
#ifdef ENOMEDIUM
    case ENOMEDIUM:
      return kErrorNotReady;
#endif
    case EOPNOTSUPP:
#if ENOTSUP != EOPNOTSUPP
    case ENOTSUP:
#endif
      return kErrorNotSupported;
    case ENOSYS:
    case ENOTTY:
      return kErrorInvalidFunction;
    case EINTR:
    case ECANCELED:
      return kErrorOperationAborted;
    case EFAULT:
      return kErrorNoAccess;
    case ENOBUFS:
    case ENOLCK:
      return kErrorNoSystemResources;
    case ERANGE:
      return ERROR_INSUFFICIENT_BUFFER;
    // A file on a network file system whose server went away or stopped answering.
    case ESTALE:
    case ENOTCONN:
    case ECONNRESET:
    case ECONNABORTED:
      return kErrorNetNameDeleted;
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EHOSTUNREACH:
      return kErrorUnexpectedNetError;
    case ETIMEDOUT:
      return kErrorSemTimeout;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    default:
      // What Windows reports for a failure it has no closer code for.
      return kErrorGenFailure;
  }
}

void SetLastErrorFromErrno(int error) noexcept { SetLastError(Win32ErrorFromErrno(error)); }

}  // namespace vrk_posix
