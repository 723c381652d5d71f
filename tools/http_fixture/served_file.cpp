#include "tools/http_fixture/served_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <algorithm>
#include <cstring>

namespace vrk_test {

#ifdef _WIN32

std::shared_ptr<ServedFile> ServedFile::Open(const std::filesystem::path& path) {
  // Others may go on writing, renaming or deleting the file while it is served.
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    return nullptr;
  }
  return std::shared_ptr<ServedFile>(new ServedFile(reinterpret_cast<std::intptr_t>(file),
                                                    static_cast<std::uint64_t>(size.QuadPart)));
}

ServedFile::~ServedFile() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

void ServedFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
  std::size_t filled = 0;
  while (filled < size) {
    // The offset travels with each read, so no shared file position is involved.
    OVERLAPPED at{};
    const std::uint64_t position = offset + filled;
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - filled, 1u << 30));
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer + filled, want, &got, &at) ||
        got == 0) {
      break;
    }
    filled += got;
  }
  std::memset(buffer + filled, 0, size - filled);
}

#else

std::shared_ptr<ServedFile> ServedFile::Open(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::shared_ptr<ServedFile>(new ServedFile(fd, static_cast<std::uint64_t>(info.st_size)));
}

ServedFile::~ServedFile() { ::close(static_cast<int>(handle_)); }

void ServedFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) const {
  std::size_t filled = 0;
  while (filled < size) {
    const ssize_t got = ::pread(static_cast<int>(handle_), buffer + filled, size - filled,
                                static_cast<off_t>(offset + filled));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  std::memset(buffer + filled, 0, size - filled);
}

#endif

}  // namespace vrk_test
