// A file written anew: a temporary file beside the target that takes the target's place
// only when it is complete, so a failed write or download leaves the target as it was.
// A replaced file keeps its permission bits (and its owner, for a privileged writer), and
// writing through a link changes the file it points at.
#pragma once

#include <cstddef>
#include <string>

namespace vrk_posix {

class ReplacementFile {
 public:
  // Creates the temporary file; Error() tells why when IsOpen() is false.
  explicit ReplacementFile(const std::string& target);
  // Removes the temporary file unless it has been committed.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  bool IsOpen() const { return fd_ >= 0 && error_ == 0; }
  // The errno value of the first failure.
  int Error() const { return error_; }

  bool Write(const char* data, std::size_t size);
  // Flushes the bytes to disk and renames the file over the target.
  bool Commit();

 private:
  bool Fail(int error);

  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  int error_ = 0;
  bool committed_ = false;
};

}  // namespace vrk_posix
