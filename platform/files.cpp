#include "platform/files.h"

#include <vector>

#include "base/ascii.h"

namespace vrk {

namespace {

bool UsableName(const Text& name) { return !ascii::HasZeroByte(name.View()); }

// Another run may rename or replace a file while this one looks at it or writes it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsSeparator(char c) { return kPathSeparators.find(c) != std::string_view::npos; }

}  // namespace

Text GetCurrentDir() {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return Text();
    if (length < buffer.size()) return Text(buffer.data(), length);
    buffer.resize(length);  // the folder changed in between or is longer than MAX_PATH
  }
}

bool FileExists(const Text& name) {
  if (!UsableName(name)) return false;
  const DWORD attributes = GetFileAttributesA(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsEmptyFile(const Text& name) {
  if (!FileExists(name)) return false;
  const HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end{};
  const bool measured = SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_END) != FALSE;
  CloseHandle(file);
  return measured && end.QuadPart == 0;
}

bool IsDevice(const Text& name) {
  if (!UsableName(name) || name.IsEmpty()) return false;
  // Windows puts its reserved names ("NUL", "CON", "COM1"...) in the device namespace,
  // whether or not this process can open them.
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(name.c_str(), MAX_PATH, full, nullptr);
  if (length > 0 && length < MAX_PATH && std::string_view(full, length).starts_with("\\\\.\\")) {
    return true;
  }
  // Asking for no access only looks at the file; a console opens only for some access.
  HANDLE file = CreateFileA(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    file = CreateFileA(name.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD type = GetFileType(file);
  CloseHandle(file);
  return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

bool RenameFile(const Text& oldName, const Text& newName) {
  if (!UsableName(oldName) || !UsableName(newName)) return false;
  return MoveFileWaiting(oldName.c_str(), newName.c_str(), MOVEFILE_WRITE_THROUGH);
}

bool RenameFileOver(const Text& oldName, const Text& newName) {
  if (!UsableName(oldName) || !UsableName(newName)) return false;
  return MoveFileWaiting(oldName.c_str(), newName.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool MoveFileWaiting(const char* oldName, const char* newName, DWORD flags) {
  // Long enough for any number of runs at once to take their turns on one file; a refusal
  // that lasts longer is the user's to see.
  constexpr DWORD kWaitMilliseconds = 2000;
  const DWORD start = GetTickCount();
  DWORD pause = 1;
  for (;;) {
    if (MoveFileExA(oldName, newName, flags)) return true;
    const DWORD error = GetLastError();
    const bool passing = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
                         error == ERROR_LOCK_VIOLATION;
    if (!passing || GetTickCount() - start >= kWaitMilliseconds) {
      SetLastError(error);
      return false;
    }
    Sleep(pause);
    if (pause < 32) pause *= 2;
  }
}

bool FileInUse(const Text& name) {
  if (!UsableName(name)) return false;
  // Opening for writing changes nothing; it is refused while the file is mapped as a program.
  const HANDLE file =
      CreateFileA(name.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

Text ChangeFileExt(const Text& name, const Text& extension) {
  const std::string_view bytes = name.View();
  std::size_t stem = bytes.size();
  for (std::size_t i = bytes.size(); i > 0; --i) {
    const char c = bytes[i - 1];
    if (IsSeparator(c)) break;
    if (c == '.') {
      stem = i - 1;
      break;
    }
  }
  return Text(bytes.substr(0, stem)) + extension;
}

namespace {

// Asking for no access only looks at the file.
HANDLE OpenToLookAt(const Text& name) {
  if (!UsableName(name)) return INVALID_HANDLE_VALUE;
  return CreateFileA(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

}  // namespace

FileStamp FileStamp::Of(const Text& name) {
  FileStamp stamp;
  const HANDLE file = OpenToLookAt(name);
  if (file == INVALID_HANDLE_VALUE) return stamp;
  stamp.exists = GetFileInformationByHandle(file, &stamp.information) != FALSE;
  CloseHandle(file);
  return stamp;
}

bool FileStamp::operator==(const FileStamp& other) const {
  const BY_HANDLE_FILE_INFORMATION& a = information;
  const BY_HANDLE_FILE_INFORMATION& b = other.information;
  if (!exists || !other.exists) return exists == other.exists;
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow && a.nFileSizeHigh == b.nFileSizeHigh &&
         a.nFileSizeLow == b.nFileSizeLow && SameTime(a.ftLastWriteTime, b.ftLastWriteTime);
}

HANDLE FileCreate(const Text& name) {
  if (!UsableName(name)) return INVALID_HANDLE_VALUE;
  return CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE FileOpenForWriting(const Text& name) {
  if (!UsableName(name)) return INVALID_HANDLE_VALUE;
  return CreateFileA(name.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool FileWrite(HANDLE file, const char* data, std::size_t count) {
  if (file == INVALID_HANDLE_VALUE || file == nullptr) return false;
  // Moderate pieces: WriteFile counts in 32 bits, and the system takes one huge write
  // much slower than the same bytes in pieces.
  constexpr std::size_t kPiece = 1 << 20;
  while (count > 0) {
    const DWORD piece = static_cast<DWORD>(count < kPiece ? count : kPiece);
    DWORD written = 0;
    if (!WriteFile(file, data, piece, &written, nullptr) || written != piece) return false;
    data += piece;
    count -= piece;
  }
  return true;
}

void FileClose(HANDLE file) {
  if (file == INVALID_HANDLE_VALUE || file == nullptr) return;
  CloseHandle(file);
}

}  // namespace vrk
