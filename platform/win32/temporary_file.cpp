#include "platform/win32/temporary_file.h"

#include "base/temporary_names.h"
#include "platform/files.h"

namespace vrk {

namespace {

std::string::size_type NameStart(const std::string& path) {
  const std::string::size_type separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? 0 : separator + 1;
}

// A process that cannot be opened for want of rights still runs; one that has ended but is
// still held open by somebody does not.
bool Runs(DWORD process) {
  const HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
  if (handle == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = WaitForSingleObject(handle, 0) == WAIT_TIMEOUT;
  CloseHandle(handle);
  return running;
}

// What killed runs left beside the target: a pending text is marked for deletion and goes
// with its run, but a download's file is written by name and cannot be.
void RemoveStaleTemporaries(const std::string& target) {
  const std::string::size_type start = NameStart(target);
  const std::string folder = target.substr(0, start);
  const std::string base = target.substr(start);
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA((folder + "." + base + ".*.tmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const auto writer = temporary_names::Writer(found.cFileName, base);
    if (writer && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !Runs(*writer)) {
      DeleteFileA((folder + found.cFileName).c_str());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

}  // namespace

HANDLE CreateFileBeside(const std::string& target, DWORD access, DWORD share, DWORD attributes,
                        std::string& name) {
  static LONG counter = 0;
  RemoveStaleTemporaries(target);
  const std::string::size_type start = NameStart(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target.substr(0, start) +
           temporary_names::Make(target.substr(start), GetCurrentProcessId(),
                                 static_cast<std::uint32_t>(InterlockedIncrement(&counter)) ^
                                     GetTickCount());
    const HANDLE file = CreateFileA(name.c_str(), access, share, nullptr, CREATE_NEW, attributes,
                                    nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  name.clear();
  return INVALID_HANDLE_VALUE;
}

bool PutInPlace(const std::string& temporary, const std::string& target) {
  const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  bool placed = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file);
  DWORD error = placed ? ERROR_SUCCESS : GetLastError();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (placed && !MoveFileWaiting(temporary.c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    placed = false;
    error = GetLastError();
  }
  if (!placed) {
    DeleteFileA(temporary.c_str());
    SetLastError(error);
  }
  return placed;
}

}  // namespace vrk
