#include "platform/posix/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/errno_map.h"
#include "platform/posix/replacement_file.h"

namespace vrk {

ReadOutcome ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadOutcome::kMissing : ReadOutcome::kFailed;
  char chunk[16384];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got > 0) {
      bytes.append(chunk, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      const int error = errno;
      ::close(fd);
      errno = error;
      return ReadOutcome::kFailed;
    }
  }
  ::close(fd);
  return ReadOutcome::kRead;
}

bool ReplaceWholeFile(const std::string& path, std::string_view bytes) {
  vrk_posix::ReplacementFile file(path);
  if (file.IsOpen() && file.Write(bytes.data(), bytes.size()) && file.Commit()) return true;
  SetLastErrorFromErrno(file.Error());
  return false;
}

}  // namespace vrk
