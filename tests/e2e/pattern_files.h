// A text of a known pattern, served by length, and the files it ends up in read back:
// for the tests that look at what a run left on the disk.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tools/scripted_server/scripted_server.h"

namespace vrk_test {

constexpr std::size_t kMiB = std::size_t{1} << 20;

inline char PatternByte(std::uint64_t offset) { return static_cast<char>(offset % 251 + 1); }

inline std::string Pattern(std::size_t length, std::size_t zeroAt = std::string::npos) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = i == zeroAt ? '\0' : PatternByte(i);
  return bytes;
}

// "/LENGTH" serves that many bytes of the pattern, "/LENGTH/AT" with a zero byte at AT.
inline HttpResponse Serve(const HttpRequest& request) {
  std::size_t zeroAt = std::string::npos;
  const std::size_t length = std::stoull(request.target.substr(1));
  const std::size_t second = request.target.find('/', 1);
  if (second != std::string::npos) zeroAt = std::stoull(request.target.substr(second + 1));
  return HttpResponse::Generated(length, [zeroAt](std::uint64_t offset, char* buffer, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      buffer[i] = offset + i == zeroAt ? '\0' : PatternByte(offset + i);
    }
  });
}

inline std::string Read(const std::string& path) {
  std::string bytes;
  const int fd = ::open(path.c_str(), O_RDONLY);
  char buffer[1 << 16];
  ssize_t got;
  while (fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, got);
  if (fd >= 0) ::close(fd);
  return bytes;
}

// Compares without printing megabytes when it fails.
inline ::testing::AssertionResult Holds(const std::string& path, const std::string& expected) {
  const std::string bytes = Read(path);
  if (bytes == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " holds " << bytes.size() << " bytes ("
                                       << bytes.substr(0, 16) << "...), not the " << expected.size()
                                       << " expected (" << expected.substr(0, 16) << "...)";
}

inline void Write(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0) << path;
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
}

}  // namespace vrk_test
