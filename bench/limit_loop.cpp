// The limit loop: the least a client must do to fetch a text into a file, as a yardstick for
// the fetch benchmark. One GET over plain HTTP to a dotted address, the head skipped, the body
// written to the file up to its first zero byte (where the tool's text ends too). No checks of
// the status, no flush: whatever costs more than this is the price of the tool's own work.
// Usage: bench_limit_loop http://ADDRESS:PORT/PATH OUT
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr std::size_t kBuffer = 1 << 20;

struct Target {
  std::string host;
  std::uint16_t port = 80;
  std::string path;
};

bool Split(const std::string& url, Target& target) {
  constexpr const char kScheme[] = "http://";
  if (url.rfind(kScheme, 0) != 0) return false;
  const std::size_t hostStart = sizeof kScheme - 1;
  const std::size_t slash = url.find('/', hostStart);
  const std::string authority = url.substr(hostStart, slash - hostStart);
  target.path = slash == std::string::npos ? "/" : url.substr(slash);
  const std::size_t colon = authority.find(':');
  target.host = authority.substr(0, colon);
  if (colon != std::string::npos) target.port = static_cast<std::uint16_t>(std::stoul(authority.substr(colon + 1)));
  return true;
}

int Connect(const Target& target) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(target.port);
  if (::inet_pton(AF_INET, target.host.c_str(), &address.sin_addr) != 1) return -1;
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0 || ::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return -1;
  return s;
}

bool SendAll(int s, const std::string& bytes) {
  for (std::size_t sent = 0; sent < bytes.size();) {
    const ssize_t n = ::send(s, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const char* data, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n <= 0) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Target target;
  if (argc != 3 || !Split(argv[1], target)) {
    std::fprintf(stderr, "usage: %s http://ADDRESS:PORT/PATH OUT\n", argv[0]);
    return 2;
  }
  const int s = Connect(target);
  if (s < 0 || !SendAll(s, "GET " + target.path + " HTTP/1.0\r\nHost: " + target.host + "\r\n\r\n")) return 1;
  const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) return 1;

  const std::unique_ptr<char[]> buffer(new char[kBuffer]);
  // How much of "\r\n\r\n" the head has shown so far; 4 once the body runs.
  static constexpr char kHeadEnd[] = "\r\n\r\n";
  int matched = 0;
  for (;;) {
    const ssize_t n = ::recv(s, buffer.get(), kBuffer, 0);
    if (n < 0) return 1;
    if (n == 0) break;
    const char* piece = buffer.get();
    std::size_t length = static_cast<std::size_t>(n);
    while (matched < 4 && length > 0) {
      matched = *piece == kHeadEnd[matched] ? matched + 1 : (*piece == '\r' ? 1 : 0);
      ++piece;
      --length;
    }
    const char* zero = static_cast<const char*>(std::memchr(piece, 0, length));
    if (!WriteAll(out, piece, zero ? static_cast<std::size_t>(zero - piece) : length)) return 1;
    if (zero) break;
  }
  ::close(s);
  return ::close(out) == 0 ? 0 : 1;
}
