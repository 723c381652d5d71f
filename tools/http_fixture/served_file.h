// A regular file opened for serving: its size when opened and reads at any offset, safe to
// share between the copies of a body generator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace vrk_test {

class ServedFile {
 public:
  // Null when the path does not name a regular file that can be read.
  static std::shared_ptr<ServedFile> Open(const std::filesystem::path& path);
  ~ServedFile();
  ServedFile(const ServedFile&) = delete;
  ServedFile& operator=(const ServedFile&) = delete;

  std::uint64_t Size() const { return size_; }
  // Fills the buffer from `offset`; what the file no longer has (it shrank) becomes zeros.
  void ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const;

 private:
  ServedFile(std::intptr_t handle, std::uint64_t size) : handle_(handle), size_(size) {}

  std::intptr_t handle_;  // a descriptor, or a Windows file handle
  std::uint64_t size_;
};

}  // namespace vrk_test
