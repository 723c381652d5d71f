#include "platform/posix/kernel/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vrk_posix {

void OpenClosedStandardStreams() {
  for (int descriptor = 0; descriptor <= 2; ++descriptor) {
    if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is this one: those below it are open already.
    const int opened = open("/dev/null", O_RDWR);
    if (opened < 0) return;  // none to be had: nothing else can open one either
    if (opened != descriptor) {
      close(opened);
      return;
    }
  }
}

}  // namespace vrk_posix
