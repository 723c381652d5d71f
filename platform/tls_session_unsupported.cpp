// A build without a TLS backend of its own offers no secure transfer: every https URL ends in
// TlsSession::kUnsupported, as on a Linux system without its TLS library.
#include "platform/tls_session.h"

namespace vrk {

std::unique_ptr<TlsSession> TlsSession::Start(SOCKET, const Text&) { return nullptr; }

}  // namespace vrk
