// The server's certificate judged as the Linux build judges it: a chain to a root the system
// trusts, every certificate valid now, and the host named (a host name by the certificate's
// names, an address by its address entries only). Revocation is not checked on either build.
#pragma once

#include <optional>

#include "framework/text.h"
#include "platform/tls_failure.h"
#include "platform/win32/tls/schannel.h"

namespace vrk::schannel {

// Nothing when the certificate passes; otherwise the cause, in the order the Linux build
// finds them: the chain's trust first, then the host, then the dates.
std::optional<TlsFailure> CheckServerCertificate(PCCERT_CONTEXT certificate, const Text& host);

// Whether `host` is a dotted address rather than a name.
bool IsAddress(const Text& host);

}  // namespace vrk::schannel
