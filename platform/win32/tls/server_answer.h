// What the first bytes of the server's answer to our hello say, read before Secure Channel
// sees them: whether they are TLS at all, and which protocol version the server chose. Secure
// Channel names neither reliably (Wine's only says that the handshake failed), and a few
// bytes tell both, the same way on every system.
#pragma once

#include <cstddef>

namespace vrk::schannel {

enum class ServerAnswer {
  NeedMore,     // too few bytes to tell
  Hello,        // a server hello of TLS 1.2 or newer
  Alert,        // the server refused with an alert
  OldProtocol,  // a hello of TLS 1.1 or older, or the protocol_version alert
  NotTls,       // anything else
};

ServerAnswer ReadServerAnswer(const unsigned char* bytes, std::size_t size) noexcept;

}  // namespace vrk::schannel
