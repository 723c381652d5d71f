// The file side under a hostile environment: full and small disks, a size limit, devices and
// pipes as targets, killed runs. Whatever fails, the target and its ".old" stay as they
// were, nothing is left beside them, and the run ends with its box and exit code 0.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <chrono>
#include <thread>

#include "pattern_files.h"
#include "small_disk.h"
#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

const std::string kWriteError = Box("VRK", "Stream write error.");

class FileFaults : public ::testing::Test {
 protected:
  FileFaults() : server_(ConnectionPlan::Http(Serve)) {}

  // Fetches `length` bytes (with a zero byte at `zeroAt`) into `name` in the folder `dir`.
  RunResult Fetch(const std::string& dir, std::size_t length, const std::string& name,
                  std::size_t zeroAt = std::string::npos) {
    std::string path = "/" + std::to_string(length);
    if (zeroAt != std::string::npos) path += "/" + std::to_string(zeroAt);
    return folder_.Run({server_.Url(path), "W", name}, dir, {"no_proxy=127.0.0.1"}, 60);
  }

  // A target with a previous content and a ".old" of its own beside it.
  void PutTargetAndOld(const std::string& dir) {
    Write(dir + "/out.txt", "previous");
    Write(dir + "/out.old", "older");
  }
  void ExpectTargetAndOldUnchanged(const std::string& dir) {
    EXPECT_TRUE(Holds(dir + "/out.txt", "previous"));
    EXPECT_TRUE(Holds(dir + "/out.old", "older"));
  }

  ScriptedServer server_;
  ToolFolder folder_;
};

TEST_F(FileFaults, DiskFillingUpMidTextIsAWriteErrorThatKeepsEveryFile) {
  // The disk ends right where the first mapping of the spool ends.
  SmallDisk disk(folder_.Inside("disk"), 64);
  VRK_REQUIRE_MOUNTED(disk);
  PutTargetAndOld(disk.Path());
  RunResult run = Fetch(disk.Path(), 100 * kMiB, "out.txt");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, kWriteError);
  ExpectTargetAndOldUnchanged(disk.Path());
  EXPECT_EQ(Names(disk.Path()), (std::set<std::string>{"out.txt", "out.old"}));
  // The text never moved into memory on its way to failing: holding the 64 MiB the disk
  // took would show here, while the sanitizer build's own bookkeeping stays well below.
  EXPECT_LT(run.peakKiB, 48 * 1024);
}

TEST_F(FileFaults, FullDiskAtTheStartFailsLargeAndSmallTextsAlike) {
  SmallDisk disk(folder_.Inside("disk"), 8);
  VRK_REQUIRE_MOUNTED(disk);
  PutTargetAndOld(disk.Path());
  disk.Fill();
  for (std::size_t length : {3 * kMiB, std::size_t{4096}}) {
    RunResult run = Fetch(disk.Path(), length, "out.txt");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, kWriteError) << length;
    ExpectTargetAndOldUnchanged(disk.Path());
    EXPECT_EQ(Names(disk.Path()), (std::set<std::string>{"out.txt", "out.old", "filler"}));
  }
}

TEST_F(FileFaults, ZeroByteCutsASpooledTextWithoutRoomForASecondCopy) {
  SmallDisk disk(folder_.Inside("disk"), 100);
  VRK_REQUIRE_MOUNTED(disk);
  PutTargetAndOld(disk.Path());
  RunResult run = Fetch(disk.Path(), 60 * kMiB, "out.txt", 40 * kMiB);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Holds(disk.Path() + "/out.txt", Pattern(40 * kMiB)));
  EXPECT_TRUE(Holds(disk.Path() + "/out.old", "older"));
  EXPECT_EQ(Names(disk.Path()), (std::set<std::string>{"out.txt", "out.old"}));
}

TEST_F(FileFaults, FileSizeLimitIsAWriteErrorNotTheEndOfTheRun) {
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 10 * kMiB;  // as `ulimit -f 10240`, inherited by the tool
  const std::string dir = folder_.Inside("limited");
  std::filesystem::create_directory(dir);
  PutTargetAndOld(dir);

  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  RunResult fits = Fetch(dir, 5 * kMiB, "new.txt");
  RunResult fitsExactly = Fetch(dir, 10 * kMiB, "exact.txt");
  RunResult tooLarge = Fetch(dir, 20 * kMiB, "out.txt");
  setrlimit(RLIMIT_FSIZE, &saved);

  EXPECT_EQ(fits.exitCode, 0);
  EXPECT_EQ(fits.err, "");
  EXPECT_TRUE(Holds(dir + "/new.txt", Pattern(5 * kMiB)));
  EXPECT_EQ(fitsExactly.err, "");
  EXPECT_TRUE(Holds(dir + "/exact.txt", Pattern(10 * kMiB)));
  EXPECT_EQ(tooLarge.exitCode, 0);
  EXPECT_EQ(tooLarge.err, kWriteError);
  ExpectTargetAndOldUnchanged(dir);
  EXPECT_EQ(Names(dir), (std::set<std::string>{"out.txt", "out.old", "new.txt", "exact.txt"}));
}

TEST_F(FileFaults, TextThatExactlyFillsTheDiskIsDelivered) {
  SmallDisk disk(folder_.Inside("disk"), 8);
  VRK_REQUIRE_MOUNTED(disk);
  const RunResult run = Fetch(disk.Path(), 8 * kMiB, "out.txt");
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Holds(disk.Path() + "/out.txt", Pattern(8 * kMiB)));
}

TEST_F(FileFaults, DevicesAndPipesAreWrittenIntoAndNeverRenamed) {
  const std::string dir = folder_.Inside("special");
  std::filesystem::create_directory(dir);
  ASSERT_EQ(::mkfifo((dir + "/pipe").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/null", dir + "/nul");
  // Opened before the run, so that a tool that never writes fails the test, not hangs it.
  const int pipe = ::open((dir + "/pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(pipe, 0);
  std::string piped;
  std::thread reader([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    char buffer[1 << 16];
    while (std::chrono::steady_clock::now() < deadline) {
      const ssize_t got = ::read(pipe, buffer, sizeof buffer);
      if (got > 0) {
        piped.append(buffer, static_cast<std::size_t>(got));
      } else if (got == 0 && !piped.empty()) {
        break;  // the writer came and went
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
  });
  RunResult toPipe = Fetch(dir, 3 * kMiB, "pipe");
  reader.join();
  ::close(pipe);
  RunResult toNull = Fetch(dir, 3 * kMiB, "nul");

  EXPECT_EQ(toPipe.err, "");
  EXPECT_TRUE(piped == Pattern(3 * kMiB)) << "the reader got " << piped.size() << " bytes";
  EXPECT_EQ(toNull.err, "");
  struct stat info {};
  ASSERT_EQ(::stat((dir + "/pipe").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_EQ(std::filesystem::read_symlink(dir + "/nul"), "/dev/null");
  EXPECT_EQ(Names(dir), (std::set<std::string>{"pipe", "nul"}));
}

// The server sends part of the body and then nothing: the run is killed while it waits.
TEST_F(FileFaults, KilledRunsLeaveNothingBehind) {
  Script stalled;
  stalled.ReceiveHead().Send("HTTP/1.0 200 OK\r\n\r\n").SendGenerated(3 * kMiB, [](std::uint64_t offset, char* buffer, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) buffer[i] = PatternByte(offset + i);
  }).Stall();
  ScriptedServer server(ConnectionPlan::Repeating(stalled));
  const std::string dir = folder_.Inside("killed");
  std::filesystem::create_directory(dir);
  PutTargetAndOld(dir);

  RunResult fetch = folder_.Run({server.Url("/text"), "W", "out.txt"}, dir, {"no_proxy=127.0.0.1"}, 3);
  RunResult download =
      folder_.Run({server.Url("/program.zip"), "x", "out.zip"}, dir, {"no_proxy=127.0.0.1"}, 3);
  EXPECT_TRUE(fetch.timedOut);
  EXPECT_TRUE(download.timedOut);
  ExpectTargetAndOldUnchanged(dir);
  EXPECT_EQ(Names(dir), (std::set<std::string>{"out.txt", "out.old"}));
}

}  // namespace
}  // namespace vrk_test
