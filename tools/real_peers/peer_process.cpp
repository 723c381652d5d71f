#include "tools/real_peers/peer_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <thread>

extern char** environ;

namespace vrk::testing {

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

ScratchFolder::ScratchFolder(const std::string& prefix) {
  std::string pattern = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), "mkdtemp");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path ScratchFolder::Write(const std::string& relative, const std::string& bytes) const {
  fs::path file = path_ / relative;
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file;
}

std::string ScratchFolder::Read(const std::string& relative) const {
  std::ifstream in(path_ / relative, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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

PeerProcess::PeerProcess(const fs::path& program, const std::vector<std::string>& arguments,
                         const fs::path& outputFile) {
  std::vector<std::string> words{program.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  int error = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    pid_ = -1;
    throw std::system_error(error, std::generic_category(), "start " + program.string());
  }
}

PeerProcess::~PeerProcess() { Stop(); }

bool PeerProcess::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  pid_t result = ::waitpid(pid_, &status, WNOHANG);
  if (result == 0) return true;
  pid_ = -1;  // ended and reaped (or not ours any more)
  return false;
}

bool PeerProcess::WaitUntilListening(std::uint16_t port, milliseconds limit) {
  const auto deadline = steady_clock::now() + limit;
  while (Running()) {
    if (AcceptsConnections(port)) return true;
    if (steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return false;
}

void PeerProcess::Stop(milliseconds grace) {
  if (!Running()) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = steady_clock::now() + grace;
  while (Running()) {
    if (steady_clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
      return;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
}

}  // namespace vrk::testing
