// The file a download writes: a temporary file beside the target that takes the target's
// place only when the transfer is complete, so a failed download leaves the target as it was.
#pragma once

#include <cstddef>
#include <string>

namespace vrk_posix {

class DownloadFile {
 public:
  // Creates the temporary file; Error() tells why when IsOpen() is false.
  explicit DownloadFile(const std::string& target);
  // Removes the temporary file unless it has been committed.
  ~DownloadFile();
  DownloadFile(const DownloadFile&) = delete;
  DownloadFile& operator=(const DownloadFile&) = delete;

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
