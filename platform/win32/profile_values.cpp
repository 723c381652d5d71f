// Windows writes a profile one key at a time, rewriting the file in place; so the keys of one
// change are written into a copy beside the file, which is flushed and then replaces the file
// at once: a killed run or a power cut leaves the old file or the new one. Where the folder
// takes no new file, the file is written in place and flushed, as the system would. All of it
// under a mutex that every run of the tool shares, so that two runs never write in turns.
#include "platform/profile_values.h"

#include <string>

#include "platform/win32/temporary_file.h"
#include "platform/winapi.h"

namespace vrk {

namespace {

// One name for every file: the tool's writes are few and short, so runs writing different
// files lose nothing by waiting for each other.
constexpr const char* kMutexName = "VRK.ProfileValues";
// Longer than any write takes; a run that holds the mutex longer is stuck, and a write that
// did not happen is better than one that mixes.
constexpr DWORD kWaitMilliseconds = 30000;

bool WriteKeys(const char* section, std::span<const ProfileValue> values, const char* fileName) {
  for (const ProfileValue& entry : values) {
    if (!WritePrivateProfileStringA(section, entry.key, entry.value, fileName)) return false;
  }
  // The system keeps what it writes in a cache of its own until told to let go.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName);
  return true;
}

bool Flush(const char* fileName) {
  const HANDLE file =
      CreateFileA(fileName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool flushed = FlushFileBuffers(file);
  const DWORD error = GetLastError();
  CloseHandle(file);
  SetLastError(error);
  return flushed;
}

// A name listed in its folder whose file cannot be reached (a link to nowhere) is no missing
// file: it is not replaced by one.
bool Unreachable(const char* fileName) {
  if (GetFileAttributesA(fileName) != INVALID_FILE_ATTRIBUTES) return false;
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(fileName, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  SetLastError(ERROR_PATH_NOT_FOUND);
  return true;
}

bool WriteIntoCopy(const char* section, std::span<const ProfileValue> values,
                   const char* fileName) {
  if (Unreachable(fileName)) return false;
  std::string copy;
  const HANDLE file = CreateFileBeside(fileName, GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL, copy);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && GetFileAttributesA(fileName) != INVALID_FILE_ATTRIBUTES) {
      return WriteKeys(section, values, fileName) && Flush(fileName);
    }
    SetLastError(error);
    return false;
  }
  CloseHandle(file);
  // A missing file starts empty; one that cannot be read is not written either.
  bool written = CopyFileA(fileName, copy.c_str(), FALSE) ||
                 GetLastError() == ERROR_FILE_NOT_FOUND;
  if (written && WriteKeys(section, values, copy.c_str())) return PutInPlace(copy, fileName);
  const DWORD error = GetLastError();
  DeleteFileA(copy.c_str());
  SetLastError(error);
  return false;
}

}  // namespace

bool WriteProfileValues(const char* section, std::span<const ProfileValue> values,
                        const char* fileName) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
  if (mutex == nullptr) return false;
  // Abandoned: a run ended while writing; the file is whole all the same, and now ours.
  const DWORD waited = WaitForSingleObject(mutex, kWaitMilliseconds);
  bool written = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  if (written) {
    written = WriteIntoCopy(section, values, fileName);
    ReleaseMutex(mutex);
  } else if (waited == WAIT_TIMEOUT) {
    SetLastError(ERROR_TIMEOUT);
  }
  CloseHandle(mutex);
  return written;
}

}  // namespace vrk
