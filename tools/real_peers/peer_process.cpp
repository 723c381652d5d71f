#include "tools/real_peers/peer_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace vrk_test {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

bool IsExecutable(const fs::path& path) {
  std::error_code ignored;
  return ::access(path.c_str(), X_OK) == 0 && fs::is_regular_file(path, ignored);
}

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

std::optional<fs::path> FindProgram(const std::string& name) {
  std::string folders;
  if (const char* path = std::getenv("PATH")) folders = path;
  folders += ":/usr/local/sbin:/usr/sbin:/sbin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    if (end > start) {
      fs::path candidate = fs::path(folders.substr(start, end - start)) / name;
      if (IsExecutable(candidate)) return candidate;
    }
    start = end + 1;
  }
  return std::nullopt;
}

std::uint16_t FreeLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "socket");
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    int error = errno;
    ::close(fd);
    throw std::system_error(error, std::generic_category(), "bind to a free port");
  }
  ::close(fd);
  return ntohs(address.sin_port);
}

bool AcceptsConnections(std::uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in address = Loopback(port);
  bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return connected;
}

bool WaitUntilListening(ChildProcess& peer, std::uint16_t port, milliseconds limit) {
  const auto deadline = steady_clock::now() + limit;
  while (peer.Running()) {
    if (AcceptsConnections(port)) return true;
    if (steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return false;
}

}  // namespace vrk_test
