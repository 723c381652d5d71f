#include "platform/tls_failure.h"

namespace vrk {

const char* TlsFailureText(TlsFailure failure) noexcept {
  switch (failure) {
    case TlsFailure::Untrusted:
      return "The server's certificate is not issued by a trusted authority";
    case TlsFailure::SelfSigned:
      return "The server's certificate is self-signed and not trusted";
    case TlsFailure::Expired:
      return "The server's certificate has expired";
    case TlsFailure::NotYetValid:
      return "The server's certificate is not valid yet";
    case TlsFailure::WrongHost:
      return "The server's certificate is for another host name";
    case TlsFailure::OldProtocol:
      return "The server offers no secure protocol newer than TLS 1.1";
    case TlsFailure::HandshakeCut:
      return "The connection closed during the secure handshake";
    case TlsFailure::NotTls:
      return "The server did not answer in TLS";
    case TlsFailure::Truncated:
      return "Connection closed before the whole response arrived";
    case TlsFailure::Other:
      break;
  }
  return "The secure connection to the server failed";
}

}  // namespace vrk
