#include "platform/posix/kernel/shared_library.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/kernel/errno_map.h"

namespace vrk_posix {

void* OpenQuietly(const char* name) {
  const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
  const int nowhere = saved < 0 ? -1 : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere >= 0) ::dup2(nowhere, STDERR_FILENO);
  void* library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
  int error = errno;
  if (library == nullptr && error != EMFILE && error != ENFILE && error != ENOMEM) {
    // The search goes on through folders without the file after a limit stopped it in one,
    // and ends on "no such file": whether a descriptor can be had now tells the limit.
    const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (probe < 0) error = errno;
    if (probe >= 0) ::close(probe);
  }
  if (nowhere >= 0) {
    ::dup2(saved, STDERR_FILENO);
    ::close(nowhere);
  }
  if (saved >= 0) ::close(saved);
  errno = error;
  return library;
}

DWORD LoadFailure(int error) {
  // As Windows tells a missing library; a limit is told as itself, not as a missing file.
  constexpr DWORD kErrorModuleNotFound = 126;
  return error == EMFILE || error == ENFILE || error == ENOMEM ? Win32ErrorFromErrno(error)
                                                                : kErrorModuleNotFound;
}

}  // namespace vrk_posix
