// The emulation's errno maps: a failure reads as the condition Windows names for it (a full
// disk, a file-size limit, a broken disk), and every code they give has its system text.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/kernel/errno_map.h"
#include "platform/posix/sockets/wsa_errno_map.h"
#include "platform/winapi.h"

namespace {

// Beyond the largest errno value Linux has.
constexpr int kLastErrno = 200;

std::string SystemText(DWORD code) {
  char buffer[512];
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, buffer, sizeof buffer, nullptr);
  return std::string(buffer, length);
}

TEST(ErrnoMap, FileConditionsGetTheCodesWindowsGivesForThem) {
  struct Expected {
    int error;
    DWORD code;
  };
  for (const Expected& expected : {Expected{EIO, 1117}, Expected{EFBIG, 223},
                                   Expected{ENOSPC, 112}, Expected{EDQUOT, 112},
                                   Expected{EROFS, 19}, Expected{ENAMETOOLONG, 206},
                                   Expected{ELOOP, 1921}, Expected{EMFILE, 4},
                                   Expected{ENFILE, 4}, Expected{EXDEV, 17}}) {
    EXPECT_EQ(vrk_posix::Win32ErrorFromErrno(expected.error), expected.code)
        << std::strerror(expected.error);
  }
  // As the download's failure box shows it, wrapped in its HRESULT.
  EXPECT_EQ(SystemText(0x80070000u | vrk_posix::Win32ErrorFromErrno(EFBIG)),
            "The file size exceeds the limit allowed and cannot be saved.\r\n");
  EXPECT_EQ(SystemText(vrk_posix::Win32ErrorFromErrno(EIO)),
            "The request could not be performed because of an I/O device error.\r\n");
}

TEST(ErrnoMap, EveryValueHasATextAndOnlyARefusalReadsAsAccessDenied) {
  for (int error = 1; error <= kLastErrno; ++error) {
    const DWORD code = vrk_posix::Win32ErrorFromErrno(error);
    EXPECT_NE(SystemText(code), "") << error << " " << std::strerror(error) << ": " << code;
    const bool refusal = error == EACCES || error == EPERM || error == EISDIR || error == ENOKEY;
    EXPECT_EQ(code == static_cast<DWORD>(ERROR_ACCESS_DENIED), refusal)
        << error << " " << std::strerror(error);
  }
}

TEST(WsaErrnoMap, WhatASocketCallCanGiveHasAWinsockCodeOfItsOwn) {
  for (int error = 1; error <= kLastErrno; ++error) {
    EXPECT_GE(vrk_posix::WsaErrorFromErrno(error), WSABASEERR) << error;
  }
  // Connecting, sending, receiving and accepting (where Linux hands on the new connection's
  // network errors) fail with these; none is a "system call failure".
  for (int error : {EINTR, EBADF, EACCES, EPERM, EFAULT, EINVAL, EMFILE, ENFILE, EAGAIN,
                    EINPROGRESS, EALREADY, ENOTSOCK, EMSGSIZE, ENOPROTOOPT, EOPNOTSUPP,
                    EAFNOSUPPORT, EADDRINUSE, EADDRNOTAVAIL, ENETDOWN, ENETUNREACH, ENETRESET,
                    ECONNABORTED, ECONNRESET, EPIPE, ENOBUFS, ENOMEM, EISCONN, ENOTCONN,
                    ESHUTDOWN, ETIMEDOUT, ECONNREFUSED, EHOSTDOWN, EHOSTUNREACH, EPROTO, ENONET}) {
    EXPECT_NE(vrk_posix::WsaErrorFromErrno(error), WSASYSCALLFAILURE) << std::strerror(error);
  }
  EXPECT_EQ(vrk_posix::WsaErrorFromErrno(EPROTO), WSAECONNABORTED);
  EXPECT_EQ(vrk_posix::WsaErrorFromErrno(ENONET), WSAEHOSTUNREACH);
}

}  // namespace
