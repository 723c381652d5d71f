// The kill test's shim, loaded into the tool with LD_PRELOAD: it counts the calls that change
// files (creating, writing, flushing, cutting, naming, linking, removing them and their
// permissions) and kills the process with SIGKILL just before the chosen one, as a power cut
// or `kill -9` would stop it there.
//
//   VRK_KILL_AT=N           the process kills itself before call N (counted from 1)
//   VRK_KILL_COUNT=PATH     without VRK_KILL_AT: the number of calls is written to PATH at exit
//
// Only calls that change something are counted: opening a file for reading, writing to the
// terminal or a pipe is no step of a file's life. The variables and LD_PRELOAD leave the
// environment at load, so the programs the tool starts run without the shim.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>

#include "tools/shim_count.h"

namespace {

std::atomic<unsigned long> steps{0};
unsigned long killAt = 0;
char countPath[4096];

unsigned long Number(const char* text) {
  unsigned long value = 0;
  for (; text != nullptr && *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + static_cast<unsigned long>(*text - '0');
  }
  return value;
}

void Step() {
  const unsigned long number = steps.fetch_add(1, std::memory_order_relaxed) + 1;
  if (number == killAt) {
    ::kill(::getpid(), SIGKILL);
    for (;;) ::pause();  // the signal is on its way; nothing of the call may happen
  }
}

// Writing, flushing and cutting count on files and folders only: the same calls on the
// terminal, pipes and sockets change no file.
void StepOn(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) == 0 && (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))) Step();
}

bool Changes(int flags) {
  return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC)) != 0;
}

bool TakesMode(int flags) { return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE; }

// The next definition of the call, the C library's, looked up at its first use.
void* NextAddress(std::atomic<void*>& slot, const char* name) {
  void* found = slot.load(std::memory_order_acquire);
  if (found == nullptr) {
    found = ::dlsym(RTLD_NEXT, name);
    slot.store(found, std::memory_order_release);
  }
  return found;
}


__attribute__((constructor)) void Load() {
  killAt = Number(getenv("VRK_KILL_AT"));
  if (const char* path = getenv("VRK_KILL_COUNT")) {
    std::size_t i = 0;
    for (; path[i] != 0 && i + 1 < sizeof countPath; ++i) countPath[i] = path[i];
    countPath[i] = 0;
  }
  for (const char* name : {"VRK_KILL_AT", "VRK_KILL_COUNT", "LD_PRELOAD"}) unsetenv(name);
}

__attribute__((destructor)) void Unload() {
  if (killAt == 0 && countPath[0] != 0) WriteShimCount(countPath, steps.load());
}

}  // namespace

// Each call counts, then goes on to the C library's.
#define VRK_NEXT(name)                     \
  static std::atomic<void*> slot{nullptr}; \
  auto* next = reinterpret_cast<decltype(&name)>(NextAddress(slot, #name))

// The mode an opening call was given (it comes only with the flags that create), and the step
// counted when the opening may change a file.
#define VRK_OPEN_MODE(flags)      \
  mode_t mode = 0;                \
  if (TakesMode(flags)) {         \
    va_list rest;                 \
    va_start(rest, flags);        \
    mode = va_arg(rest, mode_t);  \
    va_end(rest);                 \
  }                               \
  if (Changes(flags)) Step()

extern "C" {

int open(const char* path, int flags, ...) {
  VRK_NEXT(open);
  VRK_OPEN_MODE(flags);
  return next(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  VRK_NEXT(open64);
  VRK_OPEN_MODE(flags);
  return next(path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...) {
  VRK_NEXT(openat);
  VRK_OPEN_MODE(flags);
  return next(folder, path, flags, mode);
}

int openat64(int folder, const char* path, int flags, ...) {
  VRK_NEXT(openat64);
  VRK_OPEN_MODE(flags);
  return next(folder, path, flags, mode);
}

int creat(const char* path, mode_t mode) {
  VRK_NEXT(creat);
  Step();
  return next(path, mode);
}

int creat64(const char* path, mode_t mode) {
  VRK_NEXT(creat64);
  Step();
  return next(path, mode);
}

ssize_t write(int fd, const void* data, size_t size) {
  VRK_NEXT(write);
  StepOn(fd);
  return next(fd, data, size);
}

ssize_t writev(int fd, const iovec* pieces, int count) {
  VRK_NEXT(writev);
  StepOn(fd);
  return next(fd, pieces, count);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset) {
  VRK_NEXT(pwrite);
  StepOn(fd);
  return next(fd, data, size, offset);
}

ssize_t pwrite64(int fd, const void* data, size_t size, off64_t offset) {
  VRK_NEXT(pwrite64);
  StepOn(fd);
  return next(fd, data, size, offset);
}

ssize_t pwritev(int fd, const iovec* pieces, int count, off_t offset) {
  VRK_NEXT(pwritev);
  StepOn(fd);
  return next(fd, pieces, count, offset);
}

ssize_t pwritev64(int fd, const iovec* pieces, int count, off64_t offset) {
  VRK_NEXT(pwritev64);
  StepOn(fd);
  return next(fd, pieces, count, offset);
}

ssize_t pwritev2(int fd, const iovec* pieces, int count, off_t offset, int flags) {
  VRK_NEXT(pwritev2);
  StepOn(fd);
  return next(fd, pieces, count, offset, flags);
}

int fsync(int fd) {
  VRK_NEXT(fsync);
  StepOn(fd);
  return next(fd);
}

int fdatasync(int fd) {
  VRK_NEXT(fdatasync);
  StepOn(fd);
  return next(fd);
}

int ftruncate(int fd, off_t length) {
  VRK_NEXT(ftruncate);
  StepOn(fd);
  return next(fd, length);
}

int ftruncate64(int fd, off64_t length) {
  VRK_NEXT(ftruncate64);
  StepOn(fd);
  return next(fd, length);
}

int fchmod(int fd, mode_t mode) {
  VRK_NEXT(fchmod);
  StepOn(fd);
  return next(fd, mode);
}

int fchown(int fd, uid_t owner, gid_t group) {
  VRK_NEXT(fchown);
  StepOn(fd);
  return next(fd, owner, group);
}

int rename(const char* from, const char* to) {
  VRK_NEXT(rename);
  Step();
  return next(from, to);
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to) {
  VRK_NEXT(renameat);
  Step();
  return next(fromFolder, from, toFolder, to);
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) {
  VRK_NEXT(renameat2);
  Step();
  return next(fromFolder, from, toFolder, to, flags);
}

int link(const char* from, const char* to) {
  VRK_NEXT(link);
  Step();
  return next(from, to);
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
  VRK_NEXT(linkat);
  Step();
  return next(fromFolder, from, toFolder, to, flags);
}

int unlink(const char* path) {
  VRK_NEXT(unlink);
  Step();
  return next(path);
}

int unlinkat(int folder, const char* path, int flags) {
  VRK_NEXT(unlinkat);
  Step();
  return next(folder, path, flags);
}

int mkdir(const char* path, mode_t mode) {
  VRK_NEXT(mkdir);
  Step();
  return next(path, mode);
}

}  // extern "C"
