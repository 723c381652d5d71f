// Why a TLS session failed, and the words the user reads for it: one table for both builds.
#pragma once

namespace vrk {

enum class TlsFailure {
  Untrusted,       // the chain leads to no root the system trusts
  SelfSigned,      // the server's certificate signs itself and is not trusted
  Expired,         // a certificate of the chain is past its end
  NotYetValid,     // a certificate of the chain is not valid yet
  WrongHost,       // the certificate names neither the host name nor the address asked for
  OldProtocol,     // the server offers nothing newer than TLS 1.1
  HandshakeCut,    // the connection ended or broke during the handshake
  NotTls,          // the server's answer is not TLS, or garbled
  Truncated,       // the connection ended without close_notify after the handshake
  Other,           // any other refusal of the system's TLS
};

// The English message of the ESockError raised for `failure`.
const char* TlsFailureText(TlsFailure failure) noexcept;

}  // namespace vrk
