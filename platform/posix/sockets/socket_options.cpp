// setsockopt and ioctlsocket on emulated sockets.
#include <cstring>

#include "platform/posix/sockets/socket_call.h"

namespace io = vrk_posix::socket_io;
using vrk_posix::FailWith;
using vrk_posix::SocketCall;
using vrk_posix::SocketEntry;

namespace {

// Boolean options may come as one byte; numbers need a whole int.
bool ReadInt(const char* value, int length, bool boolean, int* out) {
  if (value == nullptr) return false;
  if (length >= static_cast<int>(sizeof(int))) {
    std::memcpy(out, value, sizeof(int));
    return true;
  }
  if (boolean && length >= 1) {
    *out = static_cast<unsigned char>(value[0]);
    return true;
  }
  return false;
}

int SocketLevelOption(SocketEntry& entry, int option, const char* value, int length) {
  if (option == SO_LINGER) {
    if (value == nullptr || length < static_cast<int>(sizeof(linger))) return WSAEFAULT;
    linger setting;
    std::memcpy(&setting, value, sizeof setting);
    // On with 0 seconds: closesocket drops the connection with a reset.
    io::Outcome outcome = io::SetLinger(entry.fd, setting.l_onoff != 0, setting.l_linger);
    return outcome.Failed() ? outcome.error : 0;
  }
  io::Option mapped;
  bool boolean = true;
  switch (option) {
    case SO_DONTLINGER: {
      int dontLinger;
      if (!ReadInt(value, length, true, &dontLinger)) return WSAEFAULT;
      io::Outcome outcome = io::SetLinger(entry.fd, dontLinger == 0, 0);
      return outcome.Failed() ? outcome.error : 0;
    }
    case SO_REUSEADDR:
      mapped = io::Option::kReuseAddress;
      break;
    case SO_KEEPALIVE:
      mapped = io::Option::kKeepAlive;
      break;
    case SO_OOBINLINE:
      mapped = io::Option::kOobInline;
      break;
    case SO_RCVBUF:
      mapped = io::Option::kReceiveBuffer;
      boolean = false;
      break;
    case SO_SNDBUF:
      mapped = io::Option::kSendBuffer;
      boolean = false;
      break;
    default:
      return WSAENOPROTOOPT;
  }
  int number;
  if (!ReadInt(value, length, boolean, &number)) return WSAEFAULT;
  if (boolean) number = number != 0;
  io::Outcome outcome = io::SetOption(entry.fd, mapped, number);
  return outcome.Failed() ? outcome.error : 0;
}

}  // namespace

namespace vrk_winsock {

int setsockopt(SOCKET s, int level, int option, const char* value, int valueLength) {
  SocketCall call(s);
  if (call.Error() != 0) return FailWith(call.Error());
  int error = 0;
  if (level == SOL_SOCKET) {
    error = SocketLevelOption(call.Entry(), option, value, valueLength);
  } else if (level == IPPROTO_TCP) {
    int noDelay;
    if (option != TCP_NODELAY) {
      error = WSAENOPROTOOPT;
    } else if (!ReadInt(value, valueLength, true, &noDelay)) {
      error = WSAEFAULT;
    } else {
      io::Outcome outcome = io::SetOption(call.Entry().fd, io::Option::kNoDelay, noDelay != 0);
      error = outcome.Failed() ? outcome.error : 0;
    }
  } else {
    error = WSAEINVAL;
  }
  return error == 0 ? 0 : FailWith(error);
}

int ioctlsocket(SOCKET s, LONG command, u_long* argument) {
  SocketCall call(s);
  if (call.Error() != 0) return FailWith(call.Error());
  if (argument == nullptr) return FailWith(WSAEFAULT);
  SocketEntry& entry = call.Entry();
  io::Outcome outcome;
  if (command == FIONBIO) {
    bool nonBlocking = *argument != 0;
    // A socket with a selection stays non-blocking, as in Winsock.
    if (!nonBlocking && entry.events != 0) return FailWith(WSAEINVAL);
    outcome = io::SetNonBlocking(entry.fd, nonBlocking);
    if (!outcome.Failed()) entry.nonBlocking = nonBlocking;
  } else if (command == FIONREAD) {
    outcome = io::BytesReadable(entry.fd);
    if (!outcome.Failed()) *argument = static_cast<u_long>(outcome.value);
  } else {
    return FailWith(WSAEINVAL);
  }
  return outcome.Failed() ? FailWith(outcome.error) : 0;
}

}  // namespace vrk_winsock
