// Which cause of the shared table an OpenSSL failure stands for, so that the Linux build names
// the same cause as the Windows build for the same server.
#pragma once

#include "platform/tls_failure.h"

namespace vrk_posix {

// A handshake that failed: `verifyResult` is the certificate check's result (X509_V_OK when it
// passed or did not run), `error` the library's last error code, 0 when the socket itself
// ended or broke.
vrk::TlsFailure HandshakeFailure(long verifyResult, unsigned long error);

// A failure after the handshake: `error` as above.
vrk::TlsFailure TransferFailure(unsigned long error);

}  // namespace vrk_posix
