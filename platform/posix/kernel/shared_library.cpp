#include "platform/posix/kernel/shared_library.h"

#include <fcntl.h>
#include <unistd.h>

namespace vrk_posix {

void* OpenQuietly(const char* name) {
  const int saved = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
  const int nowhere = saved < 0 ? -1 : ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere >= 0) ::dup2(nowhere, STDERR_FILENO);
  void* library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (nowhere >= 0) {
    ::dup2(saved, STDERR_FILENO);
    ::close(nowhere);
  }
  if (saved >= 0) ::close(saved);
  return library;
}

}  // namespace vrk_posix
