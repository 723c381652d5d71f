// A file written anew: a file without a name in the target's folder (a named temporary one
// beside it where the file system has no unnamed files) that takes the target's place only
// when it is complete and on the disk, so a failed write, download, killed run or power cut
// leaves the target as it was. Making one removes what killed runs left beside the target.
// A replaced file keeps its permission bits (and its owner, for a privileged writer), and
// writing through a link changes the file it points at.
#pragma once

#include <cstddef>
#include <string>

namespace vrk_posix {

struct ReplacementOptions {
  // Maps the bytes written, with a zero byte after them, for reading; only an unnamed file
  // serves, so that no name is ever left behind for such a (large) file.
  bool readable = false;
};

// Whether naming the file replaces a file of that name or fails on it.
enum class Naming { kReplace, kKeepExisting };

class ReplacementFile {
 public:
  // Creates the file; Error() tells why when IsOpen() is false.
  explicit ReplacementFile(const std::string& target, ReplacementOptions options = {});
  // Drops the file unless it has been committed.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  bool IsOpen() const { return fd_ >= 0 && error_ == 0; }
  // The errno value of the first failure.
  int Error() const { return error_; }
  std::size_t Length() const { return length_; }
  // True once Commit has named the file, even where a later step failed.
  bool Committed() const noexcept { return committed_; }

  bool Write(const char* data, std::size_t size);
  // For a readable file: the bytes and the zero after them, or null. Valid until the next
  // call of Bytes() or Commit().
  const char* Bytes();
  // Cuts the file to `length` bytes (all written ones by default), flushes it to the disk and
  // gives it the target's name, or `target` when not empty; then flushes the folder.
  bool Commit(std::size_t length = static_cast<std::size_t>(-1), const std::string& target = "",
              Naming naming = Naming::kReplace);

 private:
  bool Fail(int error);
  void Unmap();
  bool GiveName(const std::string& target, Naming naming);

  std::string target_;
  std::string temporary_;  // empty for an unnamed file
  ReplacementOptions options_;
  int fd_ = -1;
  int error_ = 0;
  bool committed_ = false;
  std::size_t length_ = 0;
  char* map_ = nullptr;
  std::size_t mapped_ = 0;
  // Where a page of zeros stands in the mapping in place of the file's, if anywhere.
  static constexpr std::size_t kNoZeroPage = static_cast<std::size_t>(-1);
  std::size_t zeroPage_ = kNoZeroPage;
};

}  // namespace vrk_posix
