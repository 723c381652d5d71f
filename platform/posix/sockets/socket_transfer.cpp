// send and recv on emulated sockets, with Winsock's re-enabling of FD_READ, FD_OOB and
// FD_WRITE.
#include "platform/posix/sockets/socket_call.h"

namespace io = vrk_posix::socket_io;
using vrk_posix::FailWith;
using vrk_posix::SocketCall;
using vrk_posix::SocketEntry;
using vrk_posix::SocketPhase;

namespace {

// 0 when the socket can carry data now, else the Winsock error of the call.
int TransferError(SocketEntry& entry) {
  vrk_posix::RefreshConnect(entry);
  switch (entry.phase) {
    case SocketPhase::kConnected:
      return entry.brokenError;
    case SocketPhase::kConnecting:
      return entry.nonBlocking ? WSAEWOULDBLOCK : WSAENOTCONN;
    default:
      return WSAENOTCONN;
  }
}

}  // namespace

namespace vrk_winsock {

int send(SOCKET s, const char* buffer, int length, int flags) {
  SocketCall call(s);
  if (call.Error() != 0) return FailWith(call.Error());
  if ((flags & ~(MSG_OOB | MSG_DONTROUTE)) != 0) return FailWith(WSAEOPNOTSUPP);
  if (length < 0 || (buffer == nullptr && length > 0)) return FailWith(WSAEFAULT);
  SocketEntry& entry = call.Entry();
  if (int error = TransferError(entry)) return FailWith(error);
  if (entry.sendShutDown) return FailWith(WSAESHUTDOWN);
  call.BeginBlocking();
  io::Outcome outcome = io::Send(entry.fd, buffer, static_cast<std::size_t>(length),
                                 (flags & MSG_OOB) != 0);
  call.EndBlocking();
  if (outcome.Failed()) {
    // Only a send that would block earns the next FD_WRITE.
    if (outcome.error == WSAEWOULDBLOCK) entry.writeEnabled = true;
    return FailWith(outcome.error);
  }
  return static_cast<int>(outcome.value);
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  SocketCall call(s);
  if (call.Error() != 0) return FailWith(call.Error());
  if ((flags & ~(MSG_OOB | MSG_PEEK)) != 0) return FailWith(WSAEOPNOTSUPP);
  if (length < 0 || (buffer == nullptr && length > 0)) return FailWith(WSAEFAULT);
  SocketEntry& entry = call.Entry();
  if (int error = TransferError(entry)) return FailWith(error);
  bool urgent = (flags & MSG_OOB) != 0;
  // recv re-enables its event whatever it returns; data still there is announced again.
  if (urgent) {
    entry.oobEnabled = true;
  } else {
    entry.inputHeld = false;
  }
  call.BeginBlocking();
  io::Outcome outcome = io::Receive(entry.fd, buffer, static_cast<std::size_t>(length),
                                    (flags & MSG_PEEK) != 0, urgent);
  call.EndBlocking();
  if (outcome.Failed()) return FailWith(outcome.error);
  return static_cast<int>(outcome.value);
}

}  // namespace vrk_winsock
