// The folder-serving HTTP fixture: its path mapping in process, and the executable as the
// demo runs it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/platform/scratch_folder.h"
#include "tests/tools/loopback_client.h"
#include "tools/http_fixture/file_responder.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using vrk::testing::FileForTarget;
using vrk::testing::LoopbackClient;
using vrk::testing::ScratchFolder;

TEST(FileForTargetTest, StaysInsideTheRoot) {
  const std::filesystem::path root = "/srv/files";
  EXPECT_EQ(FileForTarget(root, "/a/b.bin?x=1"), root / "a" / "b.bin");
  EXPECT_EQ(FileForTarget(root, "/with%20space"), root / "with space");
  EXPECT_EQ(FileForTarget(root, "//a/./b"), root / "a" / "b");
  EXPECT_FALSE(FileForTarget(root, "/../etc/passwd"));
  EXPECT_FALSE(FileForTarget(root, "/a/%2e%2e/%2e%2e/etc"));
  EXPECT_FALSE(FileForTarget(root, "/a%2F..%2F..%2Fetc"));
  EXPECT_FALSE(FileForTarget(root, "/nul%00byte"));
  EXPECT_FALSE(FileForTarget(root, "/bad%zz"));
  EXPECT_FALSE(FileForTarget(root, "/cut%2"));
  EXPECT_FALSE(FileForTarget(root, "http://host/a"));
}

// The fixture started with a pipe for its input and one for its output.
class FixtureProcess {
 public:
  explicit FixtureProcess(const std::string& folder) {
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    std::string program = VRK_HTTP_FIXTURE;
    char* argv[] = {program.data(), const_cast<char*>(folder.c_str()), nullptr};
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    input_ = input[1];
    output_ = output[0];
  }
  ~FixtureProcess() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (input_ >= 0) ::close(input_);
    if (output_ >= 0) ::close(output_);
  }

  // The first line of its output, read within the time.
  std::string FirstLine() {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd descriptor{output_, POLLIN, 0};
      if (::poll(&descriptor, 1, 100) <= 0) continue;
      char c;
      if (::read(output_, &c, 1) != 1) break;
      line += c;
    }
    return line;
  }

  void CloseInput() {
    ::close(input_);
    input_ = -1;
  }

  // Its exit status, or -1 when it has not ended within the time.
  int AwaitExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  bool exited_ = false;
};

std::string Get(std::uint16_t port, const std::string& target) {
  LoopbackClient client(port);
  client.Send("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  return client.Read().bytes;
}

TEST(HttpFixtureTest, ServesFilesAnswers404AndEndsWhenItsInputCloses) {
  ScratchFolder folder;
  folder.Put("tool.dat", std::string("MZ\0\x01\xff", 5));
  FixtureProcess fixture(folder.Path().string());
  ASSERT_GT(fixture.Pid(), 0);
  const std::string line = fixture.FirstLine();
  ASSERT_EQ(line.rfind("PORT ", 0), 0u) << line;
  const auto port = static_cast<std::uint16_t>(std::stoi(line.substr(5)));

  const std::string found = Get(port, "/tool.dat");
  EXPECT_EQ(found.substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_EQ(found.substr(found.size() - 5), std::string("MZ\0\x01\xff", 5));
  EXPECT_EQ(Get(port, "/other.dat").substr(0, 22), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(Get(port, "/../tool.dat").substr(0, 24), "HTTP/1.1 400 Bad Request");

  fixture.CloseInput();
  EXPECT_EQ(fixture.AwaitExit(5s), 0);
}

TEST(HttpFixtureTest, EndsOnSigterm) {
  ScratchFolder folder;
  FixtureProcess fixture(folder.Path().string());
  ASSERT_GT(fixture.Pid(), 0);
  ASSERT_EQ(fixture.FirstLine().rfind("PORT ", 0), 0u);
  ::kill(fixture.Pid(), SIGTERM);
  EXPECT_EQ(fixture.AwaitExit(5s), 0);
}

}  // namespace
