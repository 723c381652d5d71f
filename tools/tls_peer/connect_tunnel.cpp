#include "tools/tls_peer/connect_tunnel.h"

#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <string>

#include "tools/tls_peer/loopback.h"

namespace vrk_test {

namespace {

constexpr int kHeadMs = 10000;
constexpr std::size_t kLongestHead = 16384;

// The request head up to its empty line, read a byte at a time: what follows is the tunnel's.
std::string ReadHead(int client) {
  std::string head;
  char byte = 0;
  while (head.size() < kLongestHead && head.find("\r\n\r\n") == std::string::npos) {
    if (!loopback::WaitFor(client, true, kHeadMs) || ::recv(client, &byte, 1, 0) != 1) return {};
    head += byte;
  }
  return head;
}

// The port of "CONNECT host:port HTTP/1.x" when the host is this machine; 0 otherwise.
std::uint16_t LoopbackTarget(const std::string& head) {
  const std::string prefix = "CONNECT ";
  const std::size_t blank = head.find(' ', prefix.size());
  if (head.rfind(prefix, 0) != 0 || blank == std::string::npos) return 0;
  const std::string target = head.substr(prefix.size(), blank - prefix.size());
  const std::size_t colon = target.rfind(':');
  if (colon == std::string::npos) return 0;
  const std::string host = target.substr(0, colon);
  // Loopback alone: a test never reaches out of the machine.
  if (host != "localhost" && host.rfind("127.", 0) != 0) return 0;
  unsigned port = 0;
  const char* digits = target.data() + colon + 1;
  const auto [end, error] = std::from_chars(digits, target.data() + target.size(), port);
  if (error != std::errc() || end != target.data() + target.size() || port == 0 || port > 65535) return 0;
  return static_cast<std::uint16_t>(port);
}

}  // namespace

void ServeTunnel(int client) {
  const std::uint16_t port = LoopbackTarget(ReadHead(client));
  const int server = port == 0 ? -1 : loopback::Connect(port);
  if (server < 0) {
    const std::string refusal = "HTTP/1.0 400 Bad Request\r\n\r\n";
    loopback::WriteAll(client, refusal.data(), refusal.size());
  } else {
    const std::string established = "HTTP/1.0 200 Connection established\r\n\r\n";
    if (loopback::WriteAll(client, established.data(), established.size())) loopback::Relay(client, server);
    ::close(server);
  }
  loopback::CloseGracefully(client);
}

}  // namespace vrk_test
