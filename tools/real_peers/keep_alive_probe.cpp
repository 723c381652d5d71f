#include "tools/real_peers/keep_alive_probe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

namespace vrk_test {

namespace {

using Clock = std::chrono::steady_clock;

// The length of the whole response once its head is complete and announces a length.
std::size_t AnnouncedEnd(const std::string& received) {
  const std::size_t headEnd = received.find("\r\n\r\n");
  if (headEnd == std::string::npos) return std::string::npos;
  std::string head = received.substr(0, headEnd + 2);
  for (char& c : head) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  const std::size_t line = head.find("\r\ncontent-length:");
  if (line == std::string::npos) return std::string::npos;
  return headEnd + 4 + std::strtoul(head.c_str() + line + 17, nullptr, 10);
}

}  // namespace

bool KeptOpenAfterResponse(std::uint16_t port, const std::string& request, std::chrono::milliseconds quiet) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool open = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());

  std::string received;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (open && received.size() < AnnouncedEnd(received) && Clock::now() < deadline) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t count = ::recv(fd, buffer, sizeof buffer, 0);
    if (count <= 0) {
      open = false;
    } else {
      received.append(buffer, static_cast<std::size_t>(count));
    }
  }
  const bool complete = received.size() == AnnouncedEnd(received);
  if (open && complete) {
    // Still open: nothing arrives in the quiet time, or bytes arrive but no end.
    pollfd entry{fd, POLLIN, 0};
    char byte;
    open = ::poll(&entry, 1, static_cast<int>(quiet.count())) == 0 || ::recv(fd, &byte, 1, MSG_PEEK) > 0;
  }
  ::close(fd);
  return open && complete;
}

}  // namespace vrk_test
