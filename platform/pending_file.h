// A file written anew beside the file it is bound for, which it replaces only once complete
// and flushed to the disk. Until then it has no name where the system allows that (an
// unnamed file on Linux) or a hidden temporary one that goes away with it (and on Windows
// with the run), so a failure, a killed run or a power cut leaves the target as it was.
// Making one removes the temporaries that killed runs left beside the target.
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
  };
  // Whether taking the name replaces a file of that name or fails on it.
  enum class Naming { Replace, KeepExisting };

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

  // Cuts the file to its first `length` bytes, flushes it and gives it the name `target`,
  // and flushes that name to the disk too. Afterwards Bytes() gives nothing more.
  virtual bool Commit(const char* target, std::size_t length, Naming naming) = 0;
  // True once Commit has given the file its name, even where flushing that name then failed.
  virtual bool Named() const noexcept = 0;
};

}  // namespace vrk
