// One listening port of the TLS peer: either TLS in front of the backend (an HTTP server on
// 127.0.0.1) with one of the test certificates and a way of ending, or a proxy that answers
// CONNECT with a tunnel to a loopback port.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace vrk_test {

struct ListenerPlan {
  bool tunnel = false;
  std::string certificate = "good";  // the name of a test certificate
  // Only this protocol version (TLS1_VERSION, ...); 0: TLS 1.2 and 1.3.
  int version = 0;
  bool closeNotify = true;  // false: the end of the backend's answer ends TCP alone
  // The answer is cut (no close_notify) after this many of its bytes.
  std::optional<std::uint64_t> cutAfter;
  bool rekey = false;  // after the first piece of the answer: a key update (TLS 1.3) or renegotiation
};

// "tunnel", or a certificate name followed by options, comma-separated: tls1.0, tls1.1, tls1.2,
// tls1.3, no-close-notify, cut-after=N, rekey. Null when it is not one.
std::optional<ListenerPlan> ParseListenerPlan(const std::string& text);

// Listens on 127.0.0.1 and serves every connection on a thread of its own, for the life of
// the process. Returns the port; throws std::runtime_error when it cannot listen.
std::uint16_t StartListener(const ListenerPlan& plan, const std::filesystem::path& certificates,
                            std::uint16_t backendPort);

}  // namespace vrk_test
