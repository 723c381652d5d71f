// TPowersock: listening and taking incoming connections.
#include "net/Psock.h"
#include "net/message_wait.h"

namespace vrk {

void TPowersock::Listen(int Backlog) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(static_cast<std::uint16_t>(Port & 0xFFFF));
  local.sin_addr.s_addr = Host.IsEmpty() ? htonl(INADDR_ANY) : inet_addr(Host.c_str());
  if (local.sin_addr.s_addr == INADDR_NONE) throw ESockError("Listen needs a dotted address");
  Text ignored;
  if (bind(SocketHandle, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR ||
      listen(SocketHandle, Backlog) == SOCKET_ERROR) {
    CheckSocketError(0, ignored);
    throw ESockError("Cannot listen");
  }
}

std::uint16_t TPowersock::LocalPort() {
  sockaddr_in local{};
  int length = sizeof local;
  if (getsockname(SocketHandle, reinterpret_cast<sockaddr*>(&local), &length) == SOCKET_ERROR) {
    return 0;
  }
  return ntohs(local.sin_port);
}

std::uint16_t TPowersock::Accept() {
  ReportStatus(kStatusConnection, "Accepting");
  for (;;) {
    while (!WaitSignal && !CancelRequested) {
      WaitForMessage(kShortWaitMs);
      PumpMessages();
    }
    if (CancelRequested) throw ESockError("Accepting Canceled");
    if (!LastEventOk) throw ESockError("Error creating Data Connection");
    WaitSignal = false;
    sockaddr_in peer{};
    int length = sizeof peer;
    const SOCKET accepted = accept(SocketHandle, reinterpret_cast<sockaddr*>(&peer), &length);
    if (accepted == INVALID_SOCKET) {
      // A signal left over from a lookup or a time-out: nobody is waiting yet.
      if (WSAGetLastError() == WSAEWOULDBLOCK) continue;
      Text ignored;
      CheckSocketError(WSAEWOULDBLOCK, ignored);
      throw ESockError("Error creating Data Connection");
    }
    if (accepted > 0xFFFF) {
      closesocket(accepted);
      throw ESockError("Error creating Data Connection");
    }
    WSAAsyncSelect(accepted, NotifyWindow, kSocketEventMessage, kSocketEventMask);
    RemoteAddress = peer;
    return static_cast<std::uint16_t>(accepted);
  }
}

}  // namespace vrk
