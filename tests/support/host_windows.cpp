#include "tests/support/host.h"

#include <windows.h>

#include <stdlib.h>

namespace vrk_test {

std::filesystem::path TemporaryFolder() {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof temp, temp);
  char longTemp[MAX_PATH + 1] = {};
  return GetLongPathNameA(temp, longTemp, sizeof longTemp) != 0 ? longTemp : temp;
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

std::filesystem::path FsPath(const std::string& text) {
  const int count = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
  return wide;
}

std::string PathText(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  const int count = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                        nullptr, nullptr);
  std::string text(static_cast<std::size_t>(count), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), count, nullptr,
                      nullptr);
  return text;
}

std::string NativePath(const std::string& buildPath) {
  if (buildPath.empty() || buildPath[0] != '/') return buildPath;
  using DosName = WCHAR*(CDECL*)(const char*);
  auto toDos = reinterpret_cast<DosName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (toDos != nullptr) {
    if (WCHAR* wide = toDos(buildPath.c_str())) {
      char narrow[MAX_PATH * 2] = {};
      WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
      HeapFree(GetProcessHeap(), 0, wide);
      return narrow;
    }
  }
  // Wine shows the machine's root as drive Z:.
  std::string dos = "Z:" + buildPath;
  for (char& c : dos) {
    if (c == '/') c = '\\';
  }
  return dos;
}

void SetVariable(const std::string& name, const std::optional<std::string>& value) {
  // The C runtime keeps its own copy, which getenv reads; "NAME=" removes the variable.
  _putenv((name + "=" + value.value_or("")).c_str());
}

}  // namespace vrk_test
