// The folder-serving HTTP fixture: its path mapping in process, and the executable as the
// demo runs it.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/scratch_folder.h"
#include "tests/tools/loopback_client.h"
#include "tools/http_fixture/file_responder.h"

namespace {

using namespace std::chrono_literals;
using vrk_test::ChildOptions;
using vrk_test::ChildProcess;
using vrk_test::FileForTarget;
using vrk_test::LoopbackClient;
using vrk_test::ScratchFolder;
using vrk_test::Stream;

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
  // Names that Windows would read as a drive, a stream or a climb out of the folder.
  EXPECT_FALSE(FileForTarget(root, "/C:/windows/win.ini"));
  EXPECT_FALSE(FileForTarget(root, "/a/file.txt:stream"));
  EXPECT_FALSE(FileForTarget(root, "/a/..%20/..%20/secret"));
  EXPECT_FALSE(FileForTarget(root, "/a/.../b"));
  EXPECT_FALSE(FileForTarget(root, "/a%5C..%5Cb"));
}

// The fixture serving the folder, its input and output piped as the demo has them.
ChildOptions Serving(const ScratchFolder& folder) {
  ChildOptions options;
  options.arguments = {folder.Path().string()};
  options.input = Stream::kPipe;
  options.output = Stream::kPipe;
  return options;
}

std::string Get(std::uint16_t port, const std::string& target) {
  LoopbackClient client(port);
  client.Send("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  return client.Read().bytes;
}

TEST(HttpFixtureTest, ServesFilesAnswers404AndEndsWhenItsInputCloses) {
  ScratchFolder folder;
  folder.Put("tool.dat", std::string("MZ\0\x01\xff", 5));
  ChildProcess fixture(VRK_HTTP_FIXTURE, Serving(folder));
  const std::string line = fixture.ReadLine();
  ASSERT_EQ(line.rfind("PORT ", 0), 0u) << line;
  const auto port = static_cast<std::uint16_t>(std::stoi(line.substr(5)));

  const std::string found = Get(port, "/tool.dat");
  EXPECT_EQ(found.substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_EQ(found.substr(found.size() - 5), std::string("MZ\0\x01\xff", 5));
  EXPECT_EQ(Get(port, "/other.dat").substr(0, 22), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(Get(port, "/../tool.dat").substr(0, 24), "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(Get(port, "/").substr(0, 22), "HTTP/1.1 404 Not Found");

  fixture.CloseInput();
  EXPECT_EQ(fixture.Wait(5s), 0);
}

#ifndef _WIN32
TEST(HttpFixtureTest, EndsOnSigterm) {
  ScratchFolder folder;
  ChildProcess fixture(VRK_HTTP_FIXTURE, Serving(folder));
  ASSERT_EQ(fixture.ReadLine().rfind("PORT ", 0), 0u);
  EXPECT_EQ(fixture.Stop(5s), 0);
}
#endif

}  // namespace
