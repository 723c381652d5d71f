// Pending files on Windows: a hidden temporary file beside the target, marked for deletion
// while it is written (so that the system removes it when the run ends without it), flushed
// and moved into place with MoveFileExA, writing through, once complete.
#include "platform/pending_file.h"

#include <string>

#include "platform/files.h"
#include "platform/win32/temporary_file.h"
#include "platform/winapi.h"

namespace vrk {

namespace {

// From Windows Vista on; looked up so that older systems still run the tool.
using SetInformationByHandle = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
constexpr int kFileDispositionInfo = 4;
struct DispositionInfo {
  BOOLEAN deleteFile;
};

SetInformationByHandle DispositionSetter() {
  static const auto setter = reinterpret_cast<SetInformationByHandle>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle")));
  return setter;
}

bool MarkForDeletion(HANDLE file, bool marked) {
  const SetInformationByHandle setter = DispositionSetter();
  DispositionInfo info{static_cast<BOOLEAN>(marked)};
  return setter != nullptr && setter(file, kFileDispositionInfo, &info, sizeof info) != FALSE;
}

class WindowsPendingFile final : public PendingFile {
 public:
  WindowsPendingFile(const std::string& target, Options options) : options_(options) {
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
      return;
    }
    file_ = CreateFileBeside(target, GENERIC_READ | GENERIC_WRITE | DELETE,
                             FILE_SHARE_READ | FILE_SHARE_DELETE, FILE_ATTRIBUTE_HIDDEN,
                             temporary_);
    if (file_ != INVALID_HANDLE_VALUE) marked_ = MarkForDeletion(file_, true);
  }

  ~WindowsPendingFile() override {
    Unmap();
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    // Without the mark the name must go by hand.
    if (!committed_ && !marked_ && !temporary_.empty()) DeleteFileA(temporary_.c_str());
  }

  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }

  bool Append(const char* data, std::size_t length) override {
    if (file_ == INVALID_HANDLE_VALUE || spoiled_) return false;
    constexpr std::size_t kPiece = 1 << 20;
    for (std::size_t done = 0; done < length;) {
      const DWORD piece = static_cast<DWORD>(length - done < kPiece ? length - done : kPiece);
      DWORD written = 0;
      if (!WriteFile(file_, data + done, piece, &written, nullptr) || written != piece) {
        spoiled_ = true;
        return false;
      }
      done += piece;
    }
    length_ += length;
    return true;
  }

  std::size_t Length() const noexcept override { return length_; }
  bool Named() const noexcept override { return committed_; }

  const char* Bytes() override {
    if (!options_.readable || file_ == INVALID_HANDLE_VALUE || spoiled_) return nullptr;
    if (length_ == 0) return "";
    if (view_ != nullptr && viewed_ == length_) return view_;
    // A view covers the file as it was: a longer file needs a new one.
    Unmap();
    // The file holds the bytes alone, so that a text that just fits the disk is taken. The
    // zero after them is the rest of their last page, which a view fills with zeros; only
    // bytes that end on a page's end need a zero written after them, which the next piece
    // or the commit's cut removes again.
    if (length_ % PageSize() == 0 && !WriteZeroAfter()) return nullptr;
    section_ = CreateFileMappingA(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (section_ == nullptr) return nullptr;
    view_ = static_cast<const char*>(MapViewOfFile(section_, FILE_MAP_READ, 0, 0, 0));
    viewed_ = view_ != nullptr ? length_ : 0;
    return view_;
  }

  bool Commit(const char* target, std::size_t length, Naming naming) override {
    if (file_ == INVALID_HANDLE_VALUE || spoiled_ || committed_) return false;
    Unmap();
    if (length > length_) length = length_;
    LONG high = static_cast<LONG>(static_cast<unsigned long long>(length) >> 32);
    if (SetFilePointer(file_, static_cast<LONG>(length & 0xFFFFFFFFu), &high, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
      return false;
    }
    if (!SetEndOfFile(file_)) return false;
    if (!FlushFileBuffers(file_)) return false;
    if (marked_ && !MarkForDeletion(file_, false)) return false;
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    marked_ = false;
    // Hidden only while it waited: a move keeps the attribute, and the target is the user's.
    SetFileAttributesA(temporary_.c_str(), FILE_ATTRIBUTE_NORMAL);
    const DWORD flags =
        MOVEFILE_WRITE_THROUGH | (naming == Naming::Replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileWaiting(temporary_.c_str(), target, flags)) return false;
    committed_ = true;
    return true;
  }

 private:
  static std::size_t PageSize() {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    return system.dwPageSize;
  }

  // At the end of the file, leaving the file pointer before it for the next piece. A disk
  // too full for it leaves the bytes unmapped but the file as good as before.
  bool WriteZeroAfter() {
    DWORD written = 0;
    if (!WriteFile(file_, "", 1, &written, nullptr) || written != 1) return false;
    LARGE_INTEGER back{};
    back.QuadPart = -1;
    if (SetFilePointerEx(file_, back, nullptr, FILE_CURRENT)) return true;
    spoiled_ = true;
    return false;
  }

  void Unmap() {
    if (view_ != nullptr) UnmapViewOfFile(view_);
    if (section_ != nullptr) CloseHandle(section_);
    view_ = nullptr;
    section_ = nullptr;
    viewed_ = 0;
  }

  Options options_;
  std::string temporary_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE section_ = nullptr;
  const char* view_ = nullptr;
  std::size_t viewed_ = 0;
  std::size_t length_ = 0;
  bool marked_ = false;
  bool spoiled_ = false;
  bool committed_ = false;
};

}  // namespace

std::unique_ptr<PendingFile> PendingFile::Create(const char* target, Options options) {
  if (target == nullptr || *target == '\0') return nullptr;
  auto file = std::make_unique<WindowsPendingFile>(target, options);
  if (!file->IsOpen()) return nullptr;
  return file;
}

}  // namespace vrk
