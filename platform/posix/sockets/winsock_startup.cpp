// WSAStartup, WSACleanup and the per-thread error, which is the thread's last error.
#include <cstring>

#include "platform/posix/sockets/socket_table.h"

namespace {
constexpr WORD kHighestVersion = 0x0101;  // 1.1: major in the low byte
constexpr unsigned short kMaxSockets = 32767;
constexpr unsigned short kMaxUdpDatagram = 65467;

void CopyText(char* target, std::size_t size, const char* text) {
  std::memset(target, 0, size);
  std::strncpy(target, text, size - 1);
}
}  // namespace

namespace vrk_winsock {

int WSAStartup(WORD versionRequested, LPWSADATA data) {
  BYTE major = static_cast<BYTE>(versionRequested & 0xff);
  BYTE minor = static_cast<BYTE>(versionRequested >> 8);
  if (major == 0) return WSAVERNOTSUPPORTED;
  if (data == nullptr) return WSAEFAULT;
  // A caller asking for more than 1.1 gets 1.1 and must check wVersion, as Winsock does.
  bool aboveHighest = major > 1 || (major == 1 && minor > 1);
  data->wVersion = aboveHighest ? kHighestVersion : versionRequested;
  data->wHighVersion = kHighestVersion;
  CopyText(data->szDescription, sizeof data->szDescription, "VRK sockets over POSIX");
  CopyText(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
  data->iMaxSockets = kMaxSockets;
  data->iMaxUdpDg = kMaxUdpDatagram;
  data->lpVendorInfo = nullptr;
  std::lock_guard<std::mutex> guard(vrk_posix::SocketTableLock());
  ++vrk_posix::StartupCount();
  return 0;
}

int WSACleanup() {
  std::lock_guard<std::mutex> guard(vrk_posix::SocketTableLock());
  int& count = vrk_posix::StartupCount();
  if (count == 0) return vrk_posix::FailWith(WSANOTINITIALISED);
  // The last clean-up closes what is still open, as Winsock does.
  if (--count == 0) vrk_posix::RemoveAllSockets();
  return 0;
}

int WSAGetLastError() { return static_cast<int>(GetLastError()); }

void WSASetLastError(int error) { SetLastError(static_cast<DWORD>(error)); }

}  // namespace vrk_winsock
