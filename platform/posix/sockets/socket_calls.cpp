// Creating, connecting, listening, accepting and closing emulated sockets.
#include "platform/posix/sockets/socket_call.h"

namespace io = vrk_posix::socket_io;
using vrk_posix::FailWith;
using vrk_posix::SocketCall;
using vrk_posix::SocketEntry;
using vrk_posix::SocketPhase;

namespace {

// Errors that are the answer of the network rather than a refusal of the call: on a
// non-blocking socket Winsock reports them through FD_CONNECT, never from connect itself.
bool IsConnectOutcome(int error) {
  return error == WSAECONNREFUSED || error == WSAENETUNREACH || error == WSAEHOSTUNREACH ||
         error == WSAETIMEDOUT || error == WSAECONNRESET || error == WSAENETDOWN;
}

int ConnectNonBlocking(SocketEntry& entry, const io::Address& to) {
  io::Outcome outcome = io::Connect(entry.fd, to);
  if (!outcome.Failed() || outcome.error == WSAEWOULDBLOCK) {
    entry.phase = SocketPhase::kConnecting;
    if (!outcome.Failed()) vrk_posix::CompleteConnect(entry, 0);
    return FailWith(WSAEWOULDBLOCK);
  }
  if (IsConnectOutcome(outcome.error) && (entry.events & FD_CONNECT) != 0) {
    entry.phase = SocketPhase::kConnecting;
    vrk_posix::CompleteConnect(entry, outcome.error);
    return FailWith(WSAEWOULDBLOCK);
  }
  return FailWith(outcome.error);
}

}  // namespace

namespace vrk_winsock {

SOCKET socket(int family, int type, int protocol) {
  SocketCall call;
  if (call.Error() != 0) return FailWith(call.Error()), INVALID_SOCKET;
  if (family != AF_INET) return FailWith(WSAEAFNOSUPPORT), INVALID_SOCKET;
  // Only what the tool uses: TCP streams.
  if (type != SOCK_STREAM) return FailWith(WSAESOCKTNOSUPPORT), INVALID_SOCKET;
  if (protocol != 0 && protocol != IPPROTO_TCP) return FailWith(WSAEPROTONOSUPPORT), INVALID_SOCKET;
  io::Outcome opened = io::OpenStream();
  if (opened.Failed()) return FailWith(opened.error), INVALID_SOCKET;
  SOCKET handle = vrk_posix::AddSocket(std::make_shared<SocketEntry>(static_cast<int>(opened.value)));
  if (handle == INVALID_SOCKET) FailWith(WSAEMFILE);
  return handle;
}

int closesocket(SOCKET s) {
  // Declared before the lock: a lingering close may block, and must not do so holding it.
  std::shared_ptr<SocketEntry> entry;
  SocketCall call;
  if (call.Error() != 0) return FailWith(call.Error());
  entry = vrk_posix::RemoveSocket(s);
  if (!entry) return FailWith(WSAENOTSOCK);
  // The registration goes with the entry: the pump posts nothing more for it.
  entry->events = 0;
  // Another thread blocked in this socket is woken, as Winsock does; its call fails.
  if (entry->blockingCalls > 0) io::Shutdown(entry->fd, SD_BOTH);
  return 0;
}

int bind(SOCKET s, const sockaddr* name, int nameLength) {
  SocketCall call(s);
  if (call.Error() != 0) return FailWith(call.Error());
  io::Address at;
  if (int error = vrk_posix::ReadAddress(name, nameLength, &at)) return FailWith(error);
  SocketEntry& entry = call.Entry();
  if (entry.bound || entry.phase != SocketPhase::kFresh) return FailWith(WSAEINVAL);
  io::Outcome outcome = io::Bind(entry.fd, at);
  if (outcome.Failed()) return FailWith(outcome.error);
  entry.bound = true;
  return 0;
}

int listen(SOCKET s, int backlog) {
  SocketCall call(s);
  if (call.Error() != 0) return FailWith(call.Error());
  SocketEntry& entry = call.Entry();
  if (entry.phase == SocketPhase::kConnected || entry.phase == SocketPhase::kConnecting) {
    return FailWith(WSAEISCONN);
  }
  if (!entry.bound) return FailWith(WSAEINVAL);
  io::Outcome outcome = io::Listen(entry.fd, backlog < 1 ? 1 : backlog);
  if (outcome.Failed()) return FailWith(outcome.error);
  entry.phase = SocketPhase::kListening;
  return 0;
}

SOCKET accept(SOCKET s, sockaddr* address, int* addressLength) {
  SocketCall call(s);
  if (call.Error() != 0) return FailWith(call.Error()), INVALID_SOCKET;
  if (address != nullptr &&
      (addressLength == nullptr || *addressLength < static_cast<int>(sizeof(sockaddr_in)))) {
    return FailWith(WSAEFAULT), INVALID_SOCKET;
  }
  SocketEntry& listener = call.Entry();
  if (listener.phase != SocketPhase::kListening) return FailWith(WSAEINVAL), INVALID_SOCKET;
  listener.acceptEnabled = true;  // accept re-enables FD_ACCEPT, whatever its result
  io::Address peer;
  call.BeginBlocking();
  io::Outcome outcome = io::Accept(listener.fd, &peer);
  call.EndBlocking();
  if (outcome.Failed()) return FailWith(outcome.error), INVALID_SOCKET;
  auto accepted = std::make_shared<SocketEntry>(static_cast<int>(outcome.value));
  accepted->phase = SocketPhase::kConnected;
  accepted->bound = true;
  // The new socket takes over the listener's mode and selection, as in Winsock.
  accepted->nonBlocking = listener.nonBlocking;
  if (accepted->nonBlocking) io::SetNonBlocking(accepted->fd, true);
  if (listener.events != 0) {
    accepted->window = listener.window;
    accepted->message = listener.message;
    accepted->events = listener.events;
    accepted->pumpThread = GetCurrentThreadId();
    vrk_posix::WatchSocketsOnThisThread();
  }
  SOCKET handle = vrk_posix::AddSocket(accepted);
  if (handle == INVALID_SOCKET) return FailWith(WSAEMFILE), INVALID_SOCKET;
  if (address != nullptr) vrk_posix::WriteAddress(peer, address, addressLength);
  return handle;
}

int connect(SOCKET s, const sockaddr* name, int nameLength) {
  SocketCall call(s);
  if (call.Error() != 0) return FailWith(call.Error());
  io::Address to;
  if (int error = vrk_posix::ReadAddress(name, nameLength, &to)) return FailWith(error);
  // Winsock refuses the "any" address and port 0 rather than guessing a destination.
  if (to.host == INADDR_ANY || to.port == 0) return FailWith(WSAEADDRNOTAVAIL);
  SocketEntry& entry = call.Entry();
  vrk_posix::RefreshConnect(entry);
  switch (entry.phase) {
    case SocketPhase::kConnected:
      return FailWith(WSAEISCONN);
    case SocketPhase::kConnecting:
      return FailWith(WSAEALREADY);
    case SocketPhase::kListening:
      return FailWith(WSAEINVAL);
    case SocketPhase::kFresh:
      break;
  }
  entry.brokenError = 0;
  entry.inputEnded = false;
  entry.inputHeld = false;
  entry.closeEnabled = true;
  if (entry.nonBlocking) return ConnectNonBlocking(entry, to);
  entry.phase = SocketPhase::kConnecting;
  call.BeginBlocking();
  io::Outcome outcome = io::Connect(entry.fd, to);
  call.EndBlocking();
  entry.phase = outcome.Failed() ? SocketPhase::kFresh : SocketPhase::kConnected;
  if (outcome.Failed()) return FailWith(outcome.error);
  entry.bound = true;
  return 0;
}

int shutdown(SOCKET s, int how) {
  SocketCall call(s);
  if (call.Error() != 0) return FailWith(call.Error());
  if (how < SD_RECEIVE || how > SD_BOTH) return FailWith(WSAEINVAL);
  SocketEntry& entry = call.Entry();
  vrk_posix::RefreshConnect(entry);
  if (entry.phase != SocketPhase::kConnected) return FailWith(WSAENOTCONN);
  io::Outcome outcome = io::Shutdown(entry.fd, how);
  if (outcome.Failed()) return FailWith(outcome.error);
  if (how != SD_RECEIVE) entry.sendShutDown = true;
  return 0;
}

int getsockname(SOCKET s, sockaddr* name, int* nameLength) {
  SocketCall call(s);
  if (call.Error() != 0) return FailWith(call.Error());
  SocketEntry& entry = call.Entry();
  if (!entry.bound && entry.phase == SocketPhase::kFresh) return FailWith(WSAEINVAL);
  io::Address address;
  io::Outcome outcome = io::LocalAddress(entry.fd, &address);
  if (outcome.Failed()) return FailWith(outcome.error);
  if (int error = vrk_posix::WriteAddress(address, name, nameLength)) return FailWith(error);
  return 0;
}

int getpeername(SOCKET s, sockaddr* name, int* nameLength) {
  SocketCall call(s);
  if (call.Error() != 0) return FailWith(call.Error());
  SocketEntry& entry = call.Entry();
  vrk_posix::RefreshConnect(entry);
  if (entry.phase != SocketPhase::kConnected) return FailWith(WSAENOTCONN);
  io::Address address;
  io::Outcome outcome = io::PeerAddress(entry.fd, &address);
  if (outcome.Failed()) return FailWith(outcome.error);
  if (int error = vrk_posix::WriteAddress(address, name, nameLength)) return FailWith(error);
  return 0;
}

}  // namespace vrk_winsock
