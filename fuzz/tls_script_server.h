// The server side of the TLS transfer target: a real TLS server of the same library the client
// loads, listening on 127.0.0.1 with a test certificate made once at start-up, which plays one
// TlsScript on each connection it accepts. Its records leave through a memory buffer, so a
// step can invert or cut the bytes on their way to the socket. Every wait is bounded: a client
// that stops reading or never comes ends the play, never the process.
#pragma once

#include <cstdint>
#include <string>

#include "fuzz/tls_script.h"

typedef struct ssl_ctx_st SSL_CTX;

namespace vrk::fuzz {

// What one play did, for the checks on what the client made of it.
struct TlsPlay {
  bool handshook = false;    // and the request head read
  std::string plain;         // the plain bytes that went out in records, in order
  bool tampered = false;     // raw, inverted or cut bytes reached the socket
  bool reset = false;        // the play ended with a reset
  bool closeNotify = false;  // the play ended with close_notify, every byte sent before it
  // Every record reached the socket whole and the end was close_notify or the TCP close.
  bool Intact() const noexcept { return handshook && !tampered && !reset; }
};

class TlsScriptServer {
 public:
  // Makes the certificates and the listener, and points SSL_CERT_FILE at the test CA so that
  // the client's sessions trust it. Throws std::runtime_error when it cannot.
  TlsScriptServer();
  ~TlsScriptServer();
  TlsScriptServer(const TlsScriptServer&) = delete;
  TlsScriptServer& operator=(const TlsScriptServer&) = delete;

  std::uint16_t Port() const noexcept { return port_; }

  // Accepts the next connection, reads the request head and plays `script` on it.
  TlsPlay Play(const TlsScript& script) const;

 private:
  int listener_ = -1;
  int trustedRoots_ = -1;
  std::uint16_t port_ = 0;
  SSL_CTX* modern_ = nullptr;  // TLS 1.2 and 1.3, as the client offers
  SSL_CTX* tls12_ = nullptr;   // TLS 1.2 alone
};

}  // namespace vrk::fuzz
