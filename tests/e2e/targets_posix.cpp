// Targets at the edges of the file system: the process's own streams by name, a link into
// another file system, names of the longest length, a folder that takes no new file, a link
// into a missing folder, and a program swapped in and started.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include "internet_settings.h"
#include "pattern_files.h"
#include "small_disk.h"
#include "tests/support/child_process.h"
#include "tests/support/eventually.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

namespace fs = std::filesystem;

// A folder that takes no new file, while the files in it stay writable (as a folder the
// user may not write in, also for root); released when it goes.
class ClosedFolder {
 public:
  explicit ClosedFolder(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_DIRECTORY)) {
    int flags = 0;
    closed_ = fd_ >= 0 && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0 &&
              (flags |= FS_IMMUTABLE_FL, ::ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0);
  }
  ~ClosedFolder() {
    int flags = 0;
    if (closed_ && ::ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~FS_IMMUTABLE_FL;
      ::ioctl(fd_, FS_IOC_SETFLAGS, &flags);
    }
    if (fd_ >= 0) ::close(fd_);
  }
  bool Closed() const { return closed_; }

 private:
  int fd_;
  bool closed_ = false;
};

class Targets : public ::testing::Test {
 protected:
  Targets() : server_(ConnectionPlan::Http(Serve)) {}

  // `length` bytes of the pattern into `name`, run in the tool's folder.
  RunResult Fetch(std::size_t length, const std::string& name) {
    return folder_.Run({server_.Url("/" + std::to_string(length)), "W", name}, "",
                       {"no_proxy=127.0.0.1"});
  }

  // A shell command line, with $VRK the tool and $URL a text of `length` bytes.
  void Shell(const std::string& commands, std::size_t length) {
    ChildOptions options = Arguments({"-c", commands});
    options.workDir = folder_.Inside("");
    options.environment = {"VRK=" + folder_.Inside(ToolFolder::ExecutableName()),
                           "URL=" + server_.Url("/" + std::to_string(length)),
                           "no_proxy=127.0.0.1"};
    ChildProcess shell("sh", options);
    ASSERT_EQ(shell.Wait(std::chrono::seconds(30)), 0) << commands;
  }

  ScriptedServer server_;
  ToolFolder folder_;
};

TEST_F(Targets, OwnStreamsByNameAreWrittenWhereTheyStand) {
  const std::string text = Pattern(3 * kMiB);
  folder_.Put("append.txt", "earlier\n");
  Shell("(echo a; \"$VRK\" \"$URL\" W /dev/stdout; echo b) > log.txt;"
        "\"$VRK\" \"$URL\" W /dev/fd/1 >> append.txt;"
        "ln -s /dev/stdout out.lnk; \"$VRK\" \"$URL\" W out.lnk | cat > piped.txt",
        text.size());
  EXPECT_TRUE(Holds(folder_.Inside("log.txt"), "a\n" + text + "b\n"));
  EXPECT_TRUE(Holds(folder_.Inside("append.txt"), "earlier\n" + text));
  EXPECT_TRUE(Holds(folder_.Inside("piped.txt"), text));
  EXPECT_EQ(folder_.FilesBesideTheTool(),
            (std::vector<std::string>{"append.txt", "log.txt", "out.lnk", "piped.txt"}));
}

// A stream the tool was started without is the null device: none of the tool's own files
// takes its number, so a text for it goes nowhere, and no error comes of it.
TEST_F(Targets, ClosedStandardStreamsTakeTheTextAsTheNullDevice) {
  Shell("\"$VRK\" \"$URL\" W /dev/stdin <&- >out0.txt 2>err0.txt;"
        "\"$VRK\" \"$URL\" W /dev/stdout >&- 2>err1.txt;"
        "\"$VRK\" \"$URL\" W /dev/stderr 2>&- >out2.txt",
        3);
  for (const char* name : {"out0.txt", "err0.txt", "err1.txt", "out2.txt"}) {
    EXPECT_TRUE(Holds(folder_.Inside(name), "")) << name;
  }
}

TEST_F(Targets, LinkIntoAnotherFileSystemTakesALargeText) {
  SmallDisk disk(folder_.Inside("disk"), 16);
  VRK_REQUIRE_MOUNTED(disk);
  Write(disk.Path() + "/text.txt", "previous");
  fs::create_symlink(disk.Path() + "/text.txt", folder_.Inside("out.txt"));
  const RunResult run = Fetch(3 * kMiB, "out.txt");
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(fs::is_symlink(folder_.Inside("out.txt")));
  EXPECT_TRUE(Holds(disk.Path() + "/text.txt", Pattern(3 * kMiB)));
  EXPECT_TRUE(Holds(folder_.Inside("out.old"), "previous"));
  EXPECT_EQ(Names(disk.Path()), std::set<std::string>{"text.txt"});
}

TEST_F(Targets, NamesOfTheLongestLengthAreReplaced) {
  const std::string name = std::string(251, 'n') + ".txt";
  for (const std::size_t length : {std::size_t{100}, 3 * kMiB}) {
    folder_.Put(name, "previous");
    const RunResult run = Fetch(length, name);
    EXPECT_EQ(run.err, "") << length;
    EXPECT_TRUE(Holds(folder_.Inside(name), Pattern(length)));
    EXPECT_TRUE(Holds(folder_.Inside(std::string(251, 'n') + ".old"), "previous"));
    fs::remove(folder_.Inside(std::string(251, 'n') + ".old"));
  }
}

TEST_F(Targets, SettingsAreWrittenWhereTheyStandInAFolderThatTakesNoNewFile) {
  InternetSettings registry(folder_);
  registry.Set({Dword("ProxyEnable", 1), TextValue("ProxyServer", "proxy.example:8080")});
  folder_.WriteSettings("[Main]\r\nProgram=Okno\r\n");
  RunResult run;
  {
    ClosedFolder closed(folder_.Inside(""));
    if (!closed.Closed()) GTEST_SKIP() << "this file system cannot close a folder";
    run = folder_.Run({"proxy"}, "", registry.Environment());
  }
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("vrk.ini"), "[Main]\r\nProgram=Okno\r\nIP=proxy.example\r\nPort=8080\r\n");
}

TEST_F(Targets, SettingsLinkIntoAMissingFolderIsRefusedAndKept) {
  InternetSettings registry(folder_);
  registry.Set({Dword("ProxyEnable", 0)});
  const std::string missing = folder_.Inside("missing/vrk.ini");
  fs::create_symlink(missing, folder_.Inside("vrk.ini"));
  const RunResult run = folder_.Run({"proxy"}, "", registry.Environment());
  EXPECT_EQ(run.err, Box("VRK", "Unable to write to " + folder_.Inside("vrk.ini") + "."));
  EXPECT_EQ(fs::read_symlink(folder_.Inside("vrk.ini")), missing);
}

TEST_F(Targets, ProgramSwappedInKeepsItsModeAndOneAskedToRunIsStarted) {
  const std::string program = "#!/bin/sh\necho ran > ran.txt\n";
  ScriptedServer server(ConnectionPlan::Http([&](const HttpRequest&) {
    return HttpResponse::Text(200, program);
  }));
  folder_.Put("tool.exe", "#!/bin/sh\n");
  fs::permissions(folder_.Inside("tool.exe"), fs::perms(0750));
  RunResult run = folder_.Run({server.Url("/tool.dat"), "x", "tool.dat", "ext", "exe"}, "",
                              {"no_proxy=127.0.0.1"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(fs::status(folder_.Inside("tool.exe")).permissions(), fs::perms(0750));

  // A new program, written as a plain file, still starts when asked to.
  run = folder_.Run({server.Url("/new.dat"), "x", "new.dat", "x", "x", "runme"}, "",
                    {"no_proxy=127.0.0.1"});
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Eventually([&] { return fs::exists(folder_.Inside("ran.txt")); }));
  EXPECT_NE(fs::status(folder_.Inside("new.dat")).permissions() & fs::perms::owner_exec, fs::perms::none);
}

}  // namespace
}  // namespace vrk_test
