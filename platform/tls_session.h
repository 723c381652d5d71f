// The client side of a TLS session over a connected, non-blocking Windows Sockets socket: what
// the socket component sends and receives when its transfer is secure. The session moves its
// records with the socket calls of winapi.h (recv, send), so the socket's notifications are
// consumed and re-armed exactly as a plain transfer's are, and the component waits for them
// in the same way. Windows: Secure Channel through SSPI; Linux: OpenSSL 3, loaded at the first
// session.
#pragma once

#include <cstddef>
#include <memory>

#include "framework/text.h"
#include "platform/tls_failure.h"
#include "platform/winapi.h"

namespace vrk {

class TlsSession {
 public:
  // How far a step got.
  enum class Step {
    Done,        // the handshake is complete, or bytes moved
    WouldBlock,  // nothing more until the socket is readable (or writable) again
    Closed,      // the server ended the session properly (close_notify): the data is complete
    Failed,      // see Failure(); the session is of no further use
  };

  // The message when the system has no TLS to offer (the Linux library missing).
  static constexpr const char* kUnsupported = "HTTP Secure Socket is not supported";

  // A session bound for `host` (a name or a dotted address: sent as SNI where it is a name,
  // and checked against the certificate either way). Null when the system has no TLS.
  static std::unique_ptr<TlsSession> Start(SOCKET socket, const Text& host);
  virtual ~TlsSession() = default;
  TlsSession(const TlsSession&) = delete;
  TlsSession& operator=(const TlsSession&) = delete;

  // Advances the handshake as far as the socket allows. Only TLS 1.2 and 1.3 are offered; the
  // chain must lead to a root the system trusts, be valid now and name the host.
  virtual Step Handshake() = 0;

  // Up to `size` plain bytes into `buffer`; with `peek` they stay to be received again.
  // Done with `received` > 0; Closed when the server ended the session; a TCP close or reset
  // without close_notify is Failed (a cut transfer).
  virtual Step Receive(char* buffer, std::size_t size, bool peek, std::size_t& received) = 0;
  // Sends plain bytes from `data` without waiting: Done with `sent` > 0 when that many are
  // wholly on the socket, their records included; WouldBlock when the socket takes nothing
  // more now. The caller then waits as for a plain send and calls again with the bytes from
  // the first one not yet sent: a record begun stays inside and goes out first, so those
  // bytes must be the same. The caller's waits stay bounded and cancellable this way.
  virtual Step Send(const char* data, std::size_t size, std::size_t& sent) = 0;
  // Plain bytes received from the socket and not yet taken: they need no notification.
  virtual std::size_t Buffered() const noexcept = 0;
  // Sends close_notify, best effort; the socket stays open for its owner to close.
  virtual void Shutdown() noexcept = 0;

  // After Failed: why. Both builds name the same cause for the same case.
  virtual TlsFailure Failure() const = 0;

 protected:
  TlsSession() = default;
};

}  // namespace vrk
