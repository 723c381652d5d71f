// Winsock error codes for errno values. Declared without the Win32 header so that the
// half of the socket emulation that speaks POSIX sockets can use it too.
#pragma once

namespace vrk_posix {

// Always a Winsock code (10000 and above); unknown values give "system call failure".
int WsaErrorFromErrno(int error) noexcept;

}  // namespace vrk_posix
