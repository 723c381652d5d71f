// The runner on Windows: the tool is started with CreateProcessA and its boxes are read
// from its box windows, which a watcher dismisses so the run never waits for a user.
#ifdef _WIN32

#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>
#include <stdexcept>

#include "tools/box_watcher/box_watcher.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

// The build names the executable by its POSIX path; under Wine that is on drive Z:.
std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  using DosName = WCHAR*(CDECL*)(const char*);
  auto toDos = reinterpret_cast<DosName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (toDos != nullptr) {
    if (WCHAR* wide = toDos(path.c_str())) {
      char narrow[MAX_PATH * 2] = {};
      WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
      HeapFree(GetProcessHeap(), 0, wide);
      return narrow;
    }
  }
  std::string dos = "Z:" + path;
  for (char& c : dos) {
    if (c == '/') c = '\\';
  }
  return dos;
}

// The form in which the tool's splitting rule gives the argument back: quoted when it
// holds a separator or is empty. The rule has no escape, so a double quote inside a
// quoted argument cannot be carried and is dropped (the POSIX line is built alike).
std::string Quoted(const std::string& argument) {
  bool needsQuotes = argument.empty();
  for (unsigned char c : argument) {
    if ((c >= 1 && c <= 32) || c == '"') needsQuotes = true;
  }
  if (!needsQuotes) return argument;
  std::string quoted = "\"";
  for (char c : argument) {
    if (c != '"') quoted += c;
  }
  return quoted + "\"";
}

// Environment names are case-insensitive on Windows; "=C:" style entries keep their
// leading "=" as part of the name.
std::string NameOf(const std::string& entry) {
  std::string name = entry.substr(0, entry.find('=', 1));
  CharUpperBuffA(name.data(), static_cast<DWORD>(name.size()));
  return name;
}

// The inherited block with `extra` entries in place of those of the same name; of two
// extras with one name the first counts, as getenv finds the first on POSIX.
std::string EnvironmentBlock(const std::vector<std::string>& extra) {
  std::vector<std::string> names;
  std::string block;
  for (const std::string& entry : extra) {
    std::string name = NameOf(entry);
    bool repeated = false;
    for (const std::string& seen : names) repeated = repeated || seen == name;
    if (repeated) continue;
    names.push_back(name);
    block += entry;
    block += '\0';
  }
  LPCH inherited = GetEnvironmentStringsA();
  for (const char* entry = inherited; *entry != '\0'; entry += std::strlen(entry) + 1) {
    std::string name = NameOf(entry);
    bool replaced = false;
    for (const std::string& seen : names) replaced = replaced || seen == name;
    if (!replaced) {
      block += entry;
      block += '\0';
    }
  }
  FreeEnvironmentStringsA(inherited);
  return block + '\0';
}

}  // namespace

ToolFolder::ToolFolder() {
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(sizeof temp, temp);
  // The long form, so that paths built here equal the ones the tool reports of itself.
  char longTemp[MAX_PATH + 1] = {};
  std::string base = GetLongPathNameA(temp, longTemp, sizeof longTemp) != 0 ? longTemp : temp;
  if (!base.empty() && base.back() != '\\') base += '\\';
  static std::atomic<unsigned> counter{0};
  for (;;) {
    std::string candidate = base + "vrk-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(counter++);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      break;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("no temporary folder");
  }
  if (!CopyFileA(WindowsPath(VRK_EXECUTABLE).c_str(), File(ExecutableName()).c_str(), FALSE)) {
    throw std::runtime_error("cannot copy the tool");
  }
}

const char* ToolFolder::ExecutableName() { return "vrk.exe"; }

RunResult ToolFolder::Run(const std::vector<std::string>& arguments, const std::string& workDir,
                          const std::vector<std::string>& environment, int timeoutSeconds) const {
  std::string program = File(ExecutableName());
  std::string line = "\"" + program + "\"";
  for (const std::string& argument : arguments) line += " " + Quoted(argument);
  std::string block = EnvironmentBlock(environment);
  std::string dir = workDir.empty() ? path_ : workDir;

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, block.data(),
                      dir.c_str(), &startup, &process)) {
    throw std::runtime_error("CreateProcessA failed: " + std::to_string(GetLastError()));
  }
  CloseHandle(process.hThread);

  RunResult result;
  {
    vrk::testing::BoxWatcher watcher(process.dwProcessId);
    if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutSeconds) * 1000) !=
        WAIT_OBJECT_0) {
      result.timedOut = true;
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, 5000);
    }
    watcher.Stop();
    for (const vrk::testing::SeenBox& box : watcher.Boxes()) {
      switch (box.icon) {
        case vrk::testing::BoxIcon::Error:
          result.err += Box(box.caption, box.text);
          break;
        case vrk::testing::BoxIcon::Unknown:
          // Never what a test expects, so the failure shows the box.
          result.err += "[icon not recognised] " + Box(box.caption, box.text);
          break;
        default:
          result.out += Box(box.caption, box.text);
      }
    }
  }
  DWORD code = 0;
  if (!result.timedOut && GetExitCodeProcess(process.hProcess, &code)) {
    result.exitCode = static_cast<int>(code);
  }
  CloseHandle(process.hProcess);
  return result;
}

}  // namespace vrk_test

#endif
