#include "tests/e2e/wine_peer.h"

#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <stdexcept>

#include "tests/support/child_process.h"
#include "tests/support/host.h"

namespace vrk_test {

namespace {

// Runs the helper; its exit code, or none when it did not end in time.
std::optional<int> TrustRoot(const std::string& action, const std::string& caFile) {
  ChildProcess helper(NativePath(VRK_WINE_TRUST_ROOT), Arguments({action, caFile}));
  return helper.Wait(std::chrono::seconds(60));
}

// Both ends of a loopback connection, or throws.
void ConnectedPair(SOCKET& ours, SOCKET& theirs) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  ours = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  const bool connected = listener != INVALID_SOCKET && ours != INVALID_SOCKET &&
                         bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                         listen(listener, 1) == 0 &&
                         getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
                         connect(ours, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  theirs = connected ? accept(listener, nullptr, nullptr) : INVALID_SOCKET;
  if (listener != INVALID_SOCKET) closesocket(listener);
  if (theirs == INVALID_SOCKET) {
    if (ours != INVALID_SOCKET) closesocket(ours);
    throw std::runtime_error("no loopback connection for the Linux program");
  }
}

std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments) {
  std::string line = "\"" + program + "\"";
  for (const std::string& argument : arguments) {
    line += argument.find_first_of(" \t\"") == std::string::npos ? " " + argument : " \"" + argument + "\"";
  }
  return line;
}

}  // namespace

WineLinuxProcess::WineLinuxProcess(const std::string& program, const std::vector<std::string>& arguments) {
  SOCKET ours = INVALID_SOCKET;
  SOCKET theirs = INVALID_SOCKET;
  ConnectedPair(ours, theirs);
  ours_ = ours;
  // Only the program's end goes to it; other children must not hold ours, or its input would
  // not end with this.
  SetHandleInformation(reinterpret_cast<HANDLE>(ours), HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(reinterpret_cast<HANDLE>(theirs), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  const std::string path = NativePath(program);
  std::string line = CommandLine(path, arguments);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = reinterpret_cast<HANDLE>(theirs);
  startup.hStdOutput = reinterpret_cast<HANDLE>(theirs);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  const bool started =
      CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process) != FALSE;
  closesocket(theirs);
  if (!started) {
    closesocket(ours);
    throw std::runtime_error("cannot start " + path);
  }
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
}

WineLinuxProcess::~WineLinuxProcess() { closesocket(static_cast<SOCKET>(ours_)); }

std::string WineLinuxProcess::ReadLine(std::chrono::milliseconds timeout) {
  const SOCKET ours = static_cast<SOCKET>(ours_);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string line;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return line;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(ours, &readable);
    timeval wait{static_cast<long>(left.count() / 1000), static_cast<long>(left.count() % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) return line;
    char byte = 0;
    if (recv(ours, &byte, 1, 0) != 1 || byte == '\n') return line;
    line += byte;
  }
}

std::string WineUnixPath(const std::filesystem::path& path) {
  using UnixName = char*(CDECL*)(const WCHAR*);
  auto toUnix = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (toUnix == nullptr) return "";
  char* name = toUnix(path.wstring().c_str());
  if (name == nullptr) return "";
  std::string unixName(name);
  HeapFree(GetProcessHeap(), 0, name);
  return unixName;
}

WineTrustedRoot::WineTrustedRoot(std::string caFile) : caFile_(std::move(caFile)) {
  if (TrustRoot("add", caFile_) != 0) throw std::runtime_error("the test CA could not be trusted in the Wine prefix");
}

WineTrustedRoot::~WineTrustedRoot() { TrustRoot("remove", caFile_); }

}  // namespace vrk_test
