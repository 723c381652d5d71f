#include "platform/file_backup.h"

#include <memory>
#include <vector>

#include "base/ascii.h"
#include "platform/pending_file.h"
#include "platform/winapi.h"

namespace vrk {

namespace {

// The copy is made like every file the tool writes: whole and flushed before it is named.
bool CopyAsBackup(const Text& name, const Text& backup) {
  const HANDLE source = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (source == INVALID_HANDLE_VALUE) return false;
  std::unique_ptr<PendingFile> copy = PendingFile::Create(backup.c_str(), {});
  bool copied = copy != nullptr;
  std::vector<char> piece(copied ? 1 << 16 : 0);
  while (copied) {
    DWORD got = 0;
    if (!ReadFile(source, piece.data(), static_cast<DWORD>(piece.size()), &got, nullptr)) {
      copied = false;
    } else if (got == 0) {
      break;
    } else {
      copied = copy->Append(piece.data(), got);
    }
  }
  CloseHandle(source);
  return copied && copy->Commit(backup.c_str(), copy->Length(), PendingFile::Naming::KeepExisting);
}

}  // namespace

bool BackUpFile(const Text& name, const Text& backup) {
  if (ascii::HasZeroByte(name.View()) || ascii::HasZeroByte(backup.View())) return false;
  if (CreateHardLinkA(backup.c_str(), name.c_str(), nullptr)) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ||
      error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    return false;
  }
  return CopyAsBackup(name, backup);
}

}  // namespace vrk
