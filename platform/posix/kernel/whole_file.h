// Reading a regular file whole, and replacing one atomically through a temporary file beside it.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>
#include <string_view>

namespace vrk_posix {

enum class ReadOutcome { kRead, kMissing, kFailed };

// What tells one state of a file from another without reading it.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::timespec modified{};

  friend bool operator==(const FileIdentity& a, const FileIdentity& b) noexcept {
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
  }
};

// Only a regular file (also through a link) counts: nothing of that name (ENOENT), a FIFO,
// a device, a socket or a folder all give kMissing. errno is kept on kFailed.
ReadOutcome IdentifyRegularFile(const std::string& path, FileIdentity& identity);

// As above, and the file's bytes. Opening never blocks and never touches anything but a
// regular file.
ReadOutcome ReadRegularFile(const std::string& path, std::string& bytes, FileIdentity& identity);

// Writes the bytes to a new file in the same folder, flushes it to disk and renames it
// over path, keeping the permission bits of an existing file; where the folder takes no new
// file, a writable file is written in place and flushed. Refuses an existing file that is
// not a writable regular file. Sets the last error and leaves no temporary file behind on
// failure.
bool ReplaceWholeFile(const std::string& path, std::string_view bytes);

}  // namespace vrk_posix
