// TPowersock: the secure transfer. The handshake waits as a connect does, and every byte
// transfer goes through one pair of functions, so the plain path stays the socket's own.
#include "net/Psock.h"
#include "net/message_wait.h"
#include "net/scope_exit.h"

namespace vrk {

namespace {

[[noreturn]] void RaiseTlsFailure(const TlsSession& session) {
  throw ESockError(TlsFailureText(session.Failure()));
}

int WouldBlock() {
  WSASetLastError(WSAEWOULDBLOCK);
  return SOCKET_ERROR;
}

}  // namespace

void TPowersock::StartSecure(const Text& host) {
  ReportStatus(kStatusDetail, "Secure Handshake");
  CancelRequested = false;
  secureCut_ = false;
  tls_ = TlsSession::Start(SocketHandle, host);
  if (tls_ == nullptr) throw Exception(TlsSession::kUnsupported);
  // Records go out whole, each in one send: held back until the server acknowledged the last
  // one, the request behind the handshake's last message waited 40 ms. Best effort.
  const BOOL noDelay = TRUE;
  setsockopt(SocketHandle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
             sizeof noDelay);
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  for (;;) {
    const TlsSession::Step step = tls_->Handshake();
    if (step == TlsSession::Step::Done) return;
    if (step != TlsSession::Step::WouldBlock) RaiseTlsFailure(*tls_);
    // The server's next records announce themselves; a record the socket could not take yet
    // is tried again after the bounded wait.
    WaitForMessage(kReceiveWaitMs);
    PumpMessages();
    if (TimedOut) throw ESockError("Connection Timed out");
    if (CancelRequested) throw ESockError("Connection Canceled");
  }
}

int TPowersock::TransferReceive(char* buffer, int length, int flags) {
  if (tls_ == nullptr) return recv(SocketHandle, buffer, length, flags);
  const bool peek = (flags & MSG_PEEK) != 0;
  std::size_t received = 0;
  TlsSession::Step step = tls_->Receive(buffer, static_cast<std::size_t>(length), peek, received);
  // A record brings at most 16 KiB: a receive takes as many as have arrived, as a plain one
  // takes what the socket holds. What ended the run is met again by the next receive.
  std::size_t taken = received;
  while (!peek && step == TlsSession::Step::Done && taken < static_cast<std::size_t>(length)) {
    step = tls_->Receive(buffer + taken, static_cast<std::size_t>(length) - taken, false, received);
    if (step == TlsSession::Step::Done) taken += received;
  }
  if (taken > 0) return static_cast<int>(taken);
  switch (step) {
    case TlsSession::Step::Done:
      return 0;
    case TlsSession::Step::WouldBlock:
      return WouldBlock();
    case TlsSession::Step::Closed:
      return 0;
    case TlsSession::Step::Failed:
      break;
  }
  if (tls_->Failure() != TlsFailure::Truncated) RaiseTlsFailure(*tls_);
  // Whether the cut matters is for the reader to judge, who knows how much data it expects.
  secureCut_ = true;
  return 0;
}

int TPowersock::TransferSend(const char* data, int length) {
  if (tls_ == nullptr) return send(SocketHandle, data, length, 0);
  std::size_t sent = 0;
  switch (tls_->Send(data, static_cast<std::size_t>(length), sent)) {
    case TlsSession::Step::Done:
      return static_cast<int>(sent);
    case TlsSession::Step::WouldBlock:
      return WouldBlock();
    case TlsSession::Step::Closed:
      return 0;
    case TlsSession::Step::Failed:
      break;
  }
  RaiseTlsFailure(*tls_);
}

void TPowersock::EndOfData(std::uint64_t received) {
  if (tls_ == nullptr) {
    RaiseIfClosedByError();
    return;
  }
  // With close_notify the data is whole, whatever the socket said after it.
  if (secureCut_ && !CutEndComplete(received)) throw ESockError(TlsFailureText(TlsFailure::Truncated));
}

bool TPowersock::CutEndComplete(std::uint64_t) const { return false; }

}  // namespace vrk
