#include "platform/text_spool.h"

#include <cstring>
#include <memory>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/paths.h"
#endif

namespace vrk {

namespace {

#ifndef _WIN32

// An unnamed file holding a text, mapped read-only. The file is one byte longer than the
// room for the text, so the byte after the text always reads as zero.
class SpoolFile final : public TextStorage {
 public:
  static std::unique_ptr<SpoolFile> Open(const std::string& folder, std::size_t capacity) {
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    std::unique_ptr<SpoolFile> file(new SpoolFile(fd));
    if (::ftruncate(fd, static_cast<off_t>(capacity + 1)) != 0) return nullptr;
    void* base = ::mmap(nullptr, MapSize(capacity), PROT_READ, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) return nullptr;
    file->base_ = static_cast<char*>(base);
    file->mapped_ = MapSize(capacity);
    file->capacity_ = capacity;
    return file;
  }

  ~SpoolFile() override {
    if (base_ != nullptr) ::munmap(base_, mapped_);
    ::close(fd_);
  }

  const char* Bytes() const noexcept { return base_; }
  std::size_t Capacity() const noexcept { return capacity_; }

  // Writes `length` bytes at `at`. Past the text the file is never written, so the byte
  // after the text reads as zero without being written; a failure leaves it so.
  bool Write(const char* data, std::size_t length, std::size_t at) {
    if (final_) return false;
    if (length > capacity_ - at && !Grow(at + length)) return false;
    std::size_t done = 0;
    while (done < length) {
      const ssize_t wrote =
          ::pwrite(fd_, data + done, length - done, static_cast<off_t>(at + done));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) {
        // Cutting the file back and lengthening it again gives zero bytes past the text.
        if (done > 0) {
          (void)::ftruncate(fd_, static_cast<off_t>(at));
          (void)::ftruncate(fd_, static_cast<off_t>(capacity_ + 1));
        }
        return false;
      }
      done += static_cast<std::size_t>(wrote);
    }
    return true;
  }

  // Cuts the file to `length` bytes and gives it `name`; the text reads on as before.
  bool Link(const std::string& name, std::size_t length) {
    if (final_) return false;
    final_ = true;
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) return false;
    // Past the end of a file a mapping faults; the byte after the text must stay readable.
    const std::size_t tail = RoundUp(length);
    if (tail < mapped_ && ::mmap(base_ + tail, mapped_ - tail, PROT_READ,
                                 MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED) {
      (void)::ftruncate(fd_, static_cast<off_t>(capacity_ + 1));
      return false;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
  }

 private:
  explicit SpoolFile(int fd) : fd_(fd) {}

  static std::size_t RoundUp(std::size_t size) {
    static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return (size + page - 1) / page * page;
  }
  static std::size_t MapSize(std::size_t capacity) { return RoundUp(capacity + 1); }

  bool Grow(std::size_t needed) {
    std::size_t capacity = capacity_ * 2 > needed ? capacity_ * 2 : needed;
    if (::ftruncate(fd_, static_cast<off_t>(capacity + 1)) != 0) return false;
    void* moved = ::mremap(base_, mapped_, MapSize(capacity), MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) {
      (void)::ftruncate(fd_, static_cast<off_t>(capacity_ + 1));
      return false;
    }
    base_ = static_cast<char*>(moved);
    mapped_ = MapSize(capacity);
    capacity_ = capacity;
    return true;
  }

  int fd_;
  char* base_ = nullptr;
  std::size_t mapped_ = 0;
  std::size_t capacity_ = 0;
  bool final_ = false;  // cut to its text and named, or refused to be
};

// Room given to a new spool file: doubling from there keeps the remappings few.
constexpr std::size_t kFirstFileCapacity = std::size_t{64} << 20;

#endif

bool HasZeroByte(const Text& text) { return text.LengthBeforeZero() != text.Length(); }

}  // namespace

TextSpool::TextSpool(Text& target, const Text& boundFor)
    : target_(target),
      boundFor_(boundFor),
      memoryOnly_(boundFor.IsEmpty() || HasZeroByte(boundFor)) {
  target_ = Text();
}

bool TextSpool::Spooling() const noexcept {
  return storage_ != nullptr && target_.Storage() == storage_ && target_.IsUnshared();
}

void TextSpool::AppendInMemory(const char* data, std::size_t length) {
  // Doubling keeps the copies of regrowth to about the size of the data, and each
  // append costs its piece only.
  const std::size_t needed = target_.Length() + length;
  if (target_.Capacity() < needed) {
    target_.Reserve(needed > 2 * target_.Capacity() ? needed : 2 * target_.Capacity());
  }
  target_.Append(data, length);
}

void TextSpool::Append(const char* data, std::size_t length) {
  if (length == 0) return;
#ifndef _WIN32
  const std::size_t old = target_.Length();
  if (!Spooling() && storage_ != nullptr) {
    // Somebody else holds or replaced the spooled text: appending copies it anyway.
    storage_ = nullptr;
    memoryOnly_ = true;
  }
  if (storage_ == nullptr && !memoryOnly_ && old + length > kMemoryLimit) {
    const std::size_t needed = old + length;
    std::unique_ptr<SpoolFile> file =
        SpoolFile::Open(FolderOf(PosixPath(boundFor_.c_str())),
                        needed * 2 > kFirstFileCapacity ? needed * 2 : kFirstFileCapacity);
    if (file && (old == 0 || file->Write(target_.c_str(), old, 0))) {
      file->zeroFree = target_.LengthBeforeZero();
      const char* bytes = file->Bytes();
      const std::size_t capacity = file->Capacity();
      target_ = Text::OverStorage(std::move(file), bytes, old, capacity);
      storage_ = target_.Storage();
    } else {
      memoryOnly_ = true;
    }
  }
  if (storage_ != nullptr) {
    auto* file = static_cast<SpoolFile*>(storage_);
    if (file->Write(data, length, old)) {
      if (file->zeroFree == old && std::memchr(data, 0, length) == nullptr) {
        file->zeroFree = old + length;
      }
      target_.StorageChanged(file->Bytes(), old + length, file->Capacity());
      return;
    }
    // The file system refused the bytes: the text goes on in memory.
    storage_ = nullptr;
    memoryOnly_ = true;
    target_ = Text(target_.c_str(), old);
  }
#endif
  AppendInMemory(data, length);
}

bool LinkSpooledText(const Text& text, const Text& name) {
#ifndef _WIN32
  auto* file = dynamic_cast<SpoolFile*>(text.Storage());
  if (file == nullptr || name.IsEmpty() || HasZeroByte(name)) return false;
  return file->Link(PosixPath(name.c_str()), text.Length());
#else
  (void)text;
  (void)name;
  return false;
#endif
}

}  // namespace vrk
