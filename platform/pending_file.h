// A file written anew beside the file it is bound for, which it replaces only once complete.
// Until then it has no name where the system allows that (an unnamed file on Linux) or a
// hidden temporary one that goes away with it (and on Windows with the run), so a failure
// or a killed run leaves the target as it was and nothing beside it.
#pragma once

#include <cstddef>
#include <memory>

namespace vrk {

class PendingFile {
 public:
  struct Options {
    // The bytes written so far can be read through Bytes(). On Linux only an unnamed file
    // serves; where there is none, Create gives null.
    bool readable = false;
    // Flushed to disk before it takes the target's name.
    bool durable = false;
  };

  // Null when no such file can be made: the folder is missing or cannot be written, or the
  // target exists and is not a writable regular file.
  static std::unique_ptr<PendingFile> Create(const char* target, Options options);
  virtual ~PendingFile() = default;

  // False when the system refused the bytes (a full disk, a size limit); the file is then
  // spoiled and can only be dropped.
  virtual bool Append(const char* data, std::size_t length) = 0;
  virtual std::size_t Length() const noexcept = 0;

  // For a readable file: the bytes written so far and a zero byte after them, or null when
  // they cannot be mapped. The address holds until Bytes() is called again or Commit.
  virtual const char* Bytes() = 0;

  // Cuts the file to its first `length` bytes and gives it the name `target`, replacing a
  // file of that name. Afterwards Bytes() gives nothing more.
  virtual bool Commit(const char* target, std::size_t length) = 0;
};

}  // namespace vrk
