// Message boxes on a terminal: the box is written out and taken as acknowledged.
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/win32.h"

namespace {

// Plain write() calls, unbuffered, so boxes on the two streams keep their order.
void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // nowhere to report to; a box has no failure result either
    }
    done += static_cast<std::size_t>(written);
  }
}

}  // namespace

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  std::string box = caption != nullptr ? caption : "Error";
  box += '\n';
  if (text != nullptr) box += text;
  box += '\n';
  bool isError = (type & MB_ICONMASK) == MB_ICONERROR;
  WriteAll(isError ? STDERR_FILENO : STDOUT_FILENO, box);
  return IDOK;
}
