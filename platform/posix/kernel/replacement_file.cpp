#include "platform/posix/kernel/replacement_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/kernel/paths.h"
#include "platform/posix/kernel/stale_temporaries.h"

namespace vrk_posix {

namespace {

int CreateNamed(const std::string& target, std::string& name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = TemporaryName(target);
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// True where the file system has no unnamed files (or the kernel does not know them).
bool NoUnnamedFiles(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOSYS;
}

std::size_t PageSize() {
  static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  return page;
}

// Room mapped at a time: remappings stay few, and address space costs nothing here.
constexpr std::size_t kFirstMapping = std::size_t{64} << 20;

}  // namespace

ReplacementFile::ReplacementFile(const std::string& target, ReplacementOptions options)
    : options_(options) {
  if (target.empty() || target.back() == '/') {
    Fail(target.empty() ? ENOENT : EISDIR);
    return;
  }
  // A name of one of this process's own open files (/dev/stdout) is no file to replace.
  if (OwnDescriptor(target) >= 0) {
    Fail(EACCES);
    return;
  }
  // Writing onto a link changes the file it points at, not the link; a link into a missing
  // folder is refused below like any name there.
  target_ = FollowLinks(target);
  if (target_.empty()) {
    Fail(ELOOP);
    return;
  }
  struct stat existing {};
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT && errno != ENOTDIR) {
    Fail(errno);
    return;
  }
  // Found out now rather than after the whole transfer.
  if (exists && (!S_ISREG(existing.st_mode) || ::access(target_.c_str(), W_OK) != 0)) {
    Fail(EACCES);
    return;
  }
  RemoveStaleTemporaries(target_);
  const std::string folder = FolderOf(target_);
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd_ < 0 && NoUnnamedFiles(errno) && !options_.readable) fd_ = CreateNamed(target_, temporary_);
  if (fd_ < 0) {
    // A missing folder is a missing path, not a missing file.
    Fail(errno == ENOENT ? ENOTDIR : errno);
    return;
  }
  if (!exists) return;
  if (::fchmod(fd_, existing.st_mode & 07777) != 0) Fail(errno);
  // Only a privileged writer can hand the file back to its owner; others already own it.
  if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
    [[maybe_unused]] const int ignored = ::fchown(fd_, existing.st_uid, existing.st_gid);
  }
}

ReplacementFile::~ReplacementFile() {
  Unmap();
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

bool ReplacementFile::Fail(int error) {
  if (error_ == 0) error_ = error;
  return false;
}

void ReplacementFile::Unmap() {
  if (map_ != nullptr) ::munmap(map_, mapped_);
  map_ = nullptr;
  mapped_ = 0;
  zeroPage_ = kNoZeroPage;
}

bool ReplacementFile::Write(const char* data, std::size_t size) {
  if (fd_ < 0 || error_ != 0) return false;
  for (std::size_t done = 0; done < size;) {
    const ssize_t put = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(length_ + done));
    if (put < 0) {
      if (errno == EINTR) continue;
      return Fail(errno);
    }
    if (put == 0) return Fail(ENOSPC);
    done += static_cast<std::size_t>(put);
  }
  length_ += size;
  return true;
}

const char* ReplacementFile::Bytes() {
  if (!options_.readable || fd_ < 0 || error_ != 0) return nullptr;
  const std::size_t page = PageSize();
  // The mapping may reach past the file's end: only the bytes and the zero are ever read.
  if (length_ + 1 > mapped_) {
    std::size_t size = mapped_ == 0 ? kFirstMapping : mapped_ * 2;
    if (size < 2 * (length_ + 1)) size = 2 * (length_ + 1);
    size = (size + page - 1) / page * page;
    void* fresh = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd_, 0);
    if (fresh == MAP_FAILED) return nullptr;
    Unmap();
    map_ = static_cast<char*>(fresh);
    mapped_ = size;
  }
  // The file holds the bytes alone, so that a text that just fits the disk or the size limit
  // is taken. The zero after them is the rest of their last page, which reads as zeros; where
  // they end on a page's end, a page of zeros of its own stands after them, given back to the
  // file once the file reaches into it.
  if (zeroPage_ != kNoZeroPage && zeroPage_ != length_) {
    void* back = ::mmap(map_ + zeroPage_, page, PROT_READ, MAP_SHARED | MAP_FIXED, fd_,
                        static_cast<off_t>(zeroPage_));
    if (back == MAP_FAILED) return nullptr;
    zeroPage_ = kNoZeroPage;
  }
  if (length_ % page == 0 && zeroPage_ != length_) {
    void* zeros = ::mmap(map_ + length_, page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
    if (zeros == MAP_FAILED) return nullptr;
    zeroPage_ = length_;
  }
  return map_;
}

bool ReplacementFile::Commit(std::size_t length, const std::string& target, Naming naming) {
  if (fd_ < 0 || error_ != 0 || committed_) return false;
  Unmap();
  if (length > length_) length = length_;
  if (length != length_ && ::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
    return Fail(errno);
  }
  if (::fsync(fd_) != 0) return Fail(errno);
  const std::string name = target.empty() ? target_ : FollowLinks(target);
  if (name.empty()) return Fail(ELOOP);
  // Worked out before the name is taken: nothing that can run out of memory comes after it.
  const std::string folder = FolderOf(name);
  if (!GiveName(name, naming)) return false;
  committed_ = true;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return Fail(errno);
  const int synced = SyncFolder(folder);
  return synced == 0 || Fail(synced);
}

bool ReplacementFile::GiveName(const std::string& target, Naming naming) {
  if (!temporary_.empty()) {
    const int error = naming == Naming::kReplace
                          ? (::rename(temporary_.c_str(), target.c_str()) == 0 ? 0 : errno)
                          : (RenameWithoutReplacing(temporary_, target) == 0 ? 0 : errno);
    if (error != 0) return Fail(error);
    temporary_.clear();
    return true;
  }
  const std::string self = "/proc/self/fd/" + std::to_string(fd_);
  // A new name is taken at once; an existing file is replaced through a passing name, which
  // a run killed in between leaves for the next run to remove.
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno != EEXIST || naming == Naming::kKeepExisting) return Fail(errno);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string passing = TemporaryName(target);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, passing.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) continue;
      return Fail(errno);
    }
    if (::rename(passing.c_str(), target.c_str()) == 0) return true;
    const int error = errno;
    ::unlink(passing.c_str());
    return Fail(error);
  }
  return Fail(EEXIST);
}

}  // namespace vrk_posix
