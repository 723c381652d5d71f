#include "platform/posix/tls/openssl_failure.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace vrk_posix {

namespace {

using vrk::TlsFailure;

TlsFailure CertificateFailure(long verifyResult) {
  switch (verifyResult) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return TlsFailure::Expired;
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return TlsFailure::NotYetValid;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
      return TlsFailure::SelfSigned;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return TlsFailure::WrongHost;
    // A chain that ends in a root of its own counts as untrusted, as it does on Windows: only a
    // certificate that signs itself alone is "self-signed".
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_CERT_CHAIN_TOO_LONG:
      return TlsFailure::Untrusted;
    default:
      return TlsFailure::Other;
  }
}

bool MeansOldProtocol(int reason) {
  switch (reason) {
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_NO_PROTOCOLS_AVAILABLE:
    case SSL_R_WRONG_SSL_VERSION:
    case SSL_R_VERSION_TOO_LOW:
      return true;
    default:
      return false;
  }
}

// An alert the server sent: the reason codes of received alerts start at this offset.
bool IsServerAlert(int reason) { return reason >= SSL_AD_REASON_OFFSET; }

}  // namespace

TlsFailure HandshakeFailure(long verifyResult, unsigned long error) {
  if (verifyResult != X509_V_OK) return CertificateFailure(verifyResult);
  if (error == 0) return TlsFailure::HandshakeCut;
  if (ERR_GET_LIB(error) != ERR_LIB_SSL) return TlsFailure::Other;
  const int reason = ERR_GET_REASON(error);
  if (MeansOldProtocol(reason)) return TlsFailure::OldProtocol;
  if (reason == SSL_R_UNEXPECTED_EOF_WHILE_READING) return TlsFailure::HandshakeCut;
  if (IsServerAlert(reason)) return TlsFailure::Other;
  // Records that do not parse: the server speaks something else, or the bytes were spoiled.
  return TlsFailure::NotTls;
}

TlsFailure TransferFailure(unsigned long error) {
  if (error == 0) return TlsFailure::Truncated;
  if (ERR_GET_LIB(error) != ERR_LIB_SSL) return TlsFailure::Other;
  const int reason = ERR_GET_REASON(error);
  if (reason == SSL_R_UNEXPECTED_EOF_WHILE_READING) return TlsFailure::Truncated;
  if (IsServerAlert(reason)) return TlsFailure::Other;
  return TlsFailure::NotTls;
}

}  // namespace vrk_posix
