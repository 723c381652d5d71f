#include "platform/win32/temporary_file.h"

namespace vrk {

namespace {

std::string::size_type NameStart(const std::string& path) {
  const std::string::size_type separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? 0 : separator + 1;
}

}  // namespace

HANDLE CreateFileBeside(const std::string& target, DWORD access, DWORD share, DWORD attributes,
                        std::string& name) {
  static LONG counter = 0;
  const std::string::size_type start = NameStart(target);
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target.substr(0, start) + "." + target.substr(start) + "." +
           std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(InterlockedIncrement(&counter) ^ GetTickCount()) + ".tmp";
    const HANDLE file = CreateFileA(name.c_str(), access, share, nullptr, CREATE_NEW, attributes,
                                    nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  name.clear();
  return INVALID_HANDLE_VALUE;
}

}  // namespace vrk
