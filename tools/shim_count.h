// What a preloaded test shim reports when the process ends: its count, as a line in a file.
// Written with plain system calls, which neither allocate nor pass through the calls a shim
// stands in for.
#pragma once

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>

inline void WriteShimCount(const char* path, unsigned long value) {
  char digits[24];
  std::size_t at = sizeof digits;
  digits[--at] = '\n';
  do {
    digits[--at] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  const long fd = ::syscall(SYS_openat, AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  ::syscall(SYS_write, fd, digits + at, sizeof digits - at);
  ::syscall(SYS_close, fd);
}
