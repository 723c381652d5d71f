// TPowersock: name resolution, connecting, closing and the notifications.
#include <cstring>
#include <new>
#include <vector>

#include "net/Psock.h"
#include "net/message_wait.h"
#include "net/scope_exit.h"

namespace vrk {

void TPowersock::ResolveHost() {
  ReportStatus(kStatusDetail, "Resolve Host");
  const Text& name = Proxy.IsEmpty() ? Host : Proxy;
  const std::size_t length = name.Length() < kChunk ? name.Length() : kChunk;
  std::memcpy(TransferBuffer, name.c_str(), length);
  TransferBuffer[length] = 0;
  const auto dotted = inet_addr(TransferBuffer);
  if (dotted != INADDR_NONE) {
    RemoteAddress.sin_addr.s_addr = dotted;
    return;
  }
  RemoteAddress.sin_addr.s_addr = 0;
  TimerOn();
  WaitSignal = false;
  {
    ScopeExit endLookup([this] {
      // A reply that did not come must not write into the buffer later.
      if (lookupTask_ != nullptr) WSACancelAsyncRequest(lookupTask_);
      lookupTask_ = nullptr;
      TimerOff();
    });
    lookupTask_ = WSAAsyncGetHostByName(NotifyWindow, kHostLookupMessage, TransferBuffer,
                                        HostEntryBuffer.get(), MAXGETHOSTSTRUCT);
    lookupError_ = 0;
    if (lookupTask_ == nullptr) {
      // Not even started: no reply will come, so it counts as a failed one.
      lookupError_ = static_cast<std::uint16_t>(WSAGetLastError());
      LastEventOk = false;
      WaitSignal = true;
    }
    while (!WaitSignal && !TimedOut && !CancelRequested) {
      WaitForMessage(kShortWaitMs);
      PumpMessages();
    }
  }
  if (TimedOut) throw ESockError("Host Lookup Timed Out");
  if (CancelRequested) throw ESockError("Host Lookup Canceled");
  // A lookup that ran out of memory says nothing about the name: told as what it is, it ends
  // the connect instead of counting as a name without an address.
  if (!LastEventOk && lookupError_ == WSAENOBUFS) throw std::bad_alloc();
  if (!LastEventOk) throw ESockError("Host Lookup Failed");
  const auto* entry = reinterpret_cast<const hostent*>(HostEntryBuffer.get());
  if (entry->h_addr_list != nullptr && entry->h_addr_list[0] != nullptr) {
    std::memcpy(&RemoteAddress.sin_addr.s_addr, entry->h_addr_list[0], 4);
  }
  OnHostResolved(this);
}

void TPowersock::Connect() {
  ReportStatus(kStatusDetail, "Connecting");
  CancelRequested = false;
  if (Connected) throw ESockError("Already connected");
  for (int retries = 0;; ++retries) {
    try {
      ResolveHost();
    } catch (const ESockError&) {
      // A lookup given up (timed out or canceled) ends the connect; a failed one may be retried.
      if (TimedOut || CancelRequested) throw;
      RemoteAddress.sin_addr.s_addr = 0;
    }
    if (RemoteAddress.sin_addr.s_addr != 0) break;
    if (retries > 0 || !OnInvalidHost.Assigned()) throw ESockError("Null Remote Address");
    bool handled = false;
    OnInvalidHost(handled);
    if (!handled) throw ESockError("Null Remote Address");
  }
  RemoteAddress.sin_family = AF_INET;
  RemoteAddress.sin_port =
      htons(static_cast<std::uint16_t>((Proxy.IsEmpty() ? Port : ProxyPort) & 0xFFFF));
  WaitSignal = false;
  LastEventOk = true;
  connectSignaled_ = false;
  closeError_ = 0;
  // The socket of the last close could not be opened then; this attempt tells why.
  if (SocketHandle == kNoSocket) Reopen();
  if (connect(SocketHandle, reinterpret_cast<const sockaddr*>(&RemoteAddress),
              sizeof RemoteAddress) == SOCKET_ERROR) {
    try {
      Text ignored;
      CheckSocketError(WSAEWOULDBLOCK, ignored);
    } catch (...) {
      ReplaceFailedSocket();
      throw;
    }
  }
  TimerOn();
  {
    ScopeExit off([this] { TimerOff(); });
    // A peer that closes at once clears Connected again in the very pump that set it.
    while (!Connected && !connectSignaled_ && !TimedOut && !CancelRequested && LastEventOk) {
      WaitForMessage(kShortWaitMs);
      PumpMessages();
    }
  }
  if (!TimedOut && !CancelRequested && LastEventOk) return;
  ReplaceFailedSocket();
  OnConnectionFailed(this);
  if (TimedOut) throw ESockError("Connection Timed out");
  if (CancelRequested) throw ESockError("Connection Canceled");
  throw ESockError("Connection Failed");
}

void TPowersock::Disconnect() {
  ReportStatus(kStatusDetail, "Disconnecting");
  RequestCloseSocket();
}

void TPowersock::RequestCloseSocket() {
  ReportStatus(kStatusConnection, "Request Close Socket");
  Connected = false;
  if (tls_ != nullptr) {
    tls_->Shutdown();
    tls_.reset();
  }
  if (SocketHandle == kNoSocket) return;
  const SOCKET closed = SocketHandle;
  if (closesocket(closed) == SOCKET_ERROR) {
    Text ignored;
    CheckSocketError(WSAEWOULDBLOCK, ignored);
    return;
  }
  SocketHandle = kNoSocket;
  try {
    DiscardQueuedEvents(closed);
    if (!destroying_) OnDisconnect(this);
  } catch (...) {
    // The fresh socket is there even when the handler raises. Not from a destructor: opening
    // needs memory, and a failure there must reach the caller.
    Reopen();
    throw;
  }
  Reopen();
}

void TPowersock::Reopen() {
  if (!ClosingForGood) SocketHandle = OpenSocket(IPPROTO_IP);
}

// A socket whose connect failed, timed out or was canceled is not connected again: Winsock
// may refuse it (Wine says WSAECONNABORTED), and a pending attempt says WSAEALREADY. It goes
// without a disconnect, for it was never connected.
void TPowersock::ReplaceFailedSocket() {
  Connected = false;
  tls_.reset();
  if (SocketHandle == kNoSocket) return;
  const SOCKET failed = SocketHandle;
  closesocket(failed);
  SocketHandle = kNoSocket;
  DiscardQueuedEvents(failed);
  try {
    Reopen();
  } catch (const std::bad_alloc&) {
    // The failure of the connect is the one to report; the next Connect opens the socket.
  }
}

// Events posted for a socket before it was closed stay queued, and Winsock hands the
// same handle to the next socket at once: they must not reach the fresh socket.
void TPowersock::DiscardQueuedEvents(SOCKET closed) {
  if (NotifyWindow == nullptr) return;
  std::vector<MSG> others;
  MSG msg;
  while (PeekMessageA(&msg, NotifyWindow, kSocketEventMessage, kSocketEventMessage, PM_REMOVE)) {
    if (msg.wParam != closed) others.push_back(msg);
  }
  for (const MSG& other : others) {
    PostMessageA(other.hwnd, other.message, other.wParam, other.lParam);
  }
}

bool TPowersock::DataAvailable() {
  ReportStatus(kStatusDetail, "Data Available");
  // Not into TransferBuffer: a send in progress keeps its data there across the pump.
  char probe;
  if (tls_ != nullptr) {
    // Plain bytes the session holds are there without a notification; a failure is no data.
    std::size_t peeked = 0;
    return tls_->Buffered() > 0 || tls_->Receive(&probe, 1, true, peeked) == TlsSession::Step::Done;
  }
  return recv(SocketHandle, &probe, 1, MSG_PEEK) >= 1;
}

void TPowersock::HandleNotification(TNotificationMessage& Message) {
  // Replies of lookups given up, and events of other or earlier sockets, are not ours.
  if (Message.Msg == kHostLookupMessage &&
      (lookupTask_ == nullptr || reinterpret_cast<HANDLE>(Message.WParam) != lookupTask_)) {
    return;
  }
  if (Message.Msg == kSocketEventMessage && Message.WParam != SocketHandle) return;
  LastEventOk = WSAGETSELECTERROR(Message.LParam) == 0;
  try {
    if (Message.Msg == kSocketEventMessage) {
      switch (WSAGETSELECTEVENT(Message.LParam)) {
        case FD_READ:
          try {
            OnDataReady(this);
          } catch (...) {
          }
          break;
        case FD_ACCEPT:
          Connected = true;
          WaitSignal = true;  // opens the wait of Accept
          OnAccept(this);
          break;
        case FD_CONNECT:
          if (LastEventOk) {
            Connected = true;
            connectSignaled_ = true;
            OnConnect(this);
          }
          break;
        case FD_CLOSE: {
          // A secure transfer learns from its session how the data ended (close_notify or a
          // cut), and the session may still hold plain bytes: the reader ends it.
          if (tls_ != nullptr) break;
          // A broken connection stays for the reader, whose end of the data reports the
          // error: closing here would pass it off as a clean end. Unread data stays too.
          if (!LastEventOk) {
            closeError_ = static_cast<std::uint16_t>(WSAGETSELECTERROR(Message.LParam));
            break;
          }
          ReportStatus(kStatusDetail, "Data Available");
          char probe;
          const int peeked = recv(SocketHandle, &probe, 1, MSG_PEEK);
          if (peeked == 0 || (peeked < 0 && WSAGetLastError() == WSAEWOULDBLOCK)) {
            RequestCloseSocket();
          }
          break;
        }
        default:
          break;
      }
    } else if (Message.Msg == kHostLookupMessage) {
      lookupError_ = static_cast<std::uint16_t>(WSAGETASYNCERROR(Message.LParam));
      lookupTask_ = nullptr;
      WaitSignal = true;
    }
  } catch (...) {
  }
}

}  // namespace vrk
