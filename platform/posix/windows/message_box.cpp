// Message boxes on a terminal: the box is written out and taken as acknowledged.
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/win32.h"

namespace {

// One writev() of the pieces as they are, unbuffered, so that boxes on the two streams keep
// their order, and with no memory of its own: the box that tells of memory running out must
// still come out.
void WriteAll(int fd, iovec* pieces, int count) {
  while (count > 0) {
    ssize_t written = ::writev(fd, pieces, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // nowhere to report to; a box has no failure result either
    }
    auto done = static_cast<std::size_t>(written);
    while (count > 0 && done >= pieces->iov_len) {
      done -= pieces->iov_len;
      ++pieces;
      --count;
    }
    if (count > 0) {
      pieces->iov_base = static_cast<char*>(pieces->iov_base) + done;
      pieces->iov_len -= done;
    }
  }
}

iovec Piece(const char* text) { return iovec{const_cast<char*>(text), std::strlen(text)}; }

}  // namespace

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  iovec pieces[] = {Piece(caption != nullptr ? caption : "Error"), Piece("\n"),
                    Piece(text != nullptr ? text : ""), Piece("\n")};
  bool isError = (type & MB_ICONMASK) == MB_ICONERROR;
  WriteAll(isError ? STDERR_FILENO : STDOUT_FILENO, pieces, 4);
  return IDOK;
}
