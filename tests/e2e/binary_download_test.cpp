// A URL with a binary ending: downloaded, swapped in with "ext", started with "runme".
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/eventually.h"
#include "tests/support/host.h"
#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

const std::string kBody = std::string("MZ\0\x01binary\r\n\xff", 13) + std::string(70000, 'b');
const std::string kConnectionError = "Chyba připojení";

class BinaryDownload : public ::testing::Test {
 protected:
  BinaryDownload()
      : server_(ConnectionPlan::Http([](const HttpRequest& request) {
          if (request.target == "/empty.dat") return HttpResponse::Text(200, "");
          if (request.target == "/tool.dat" || request.target == "/x.zip" ||
              request.target == "/vrk.dat") {
            return HttpResponse::Text(200, kBody);
          }
          if (request.target == "/script.dat") {
            return HttpResponse::Text(200, "#!/bin/sh\necho ran > \"$(dirname \"$0\")/ran.txt\"\n");
          }
          return HttpResponse::Text(404, "<html>not here</html>");
        })) {}

  RunResult Run(const std::vector<std::string>& arguments) {
    return folder_.Run(arguments, "", {"no_proxy=127.0.0.1,localhost", "NO_PROXY=127.0.0.1"});
  }
  std::string Url(const std::string& path) { return server_.Url(path); }
  std::vector<std::string> Files() const { return folder_.FilesBesideTheTool(); }
  bool Appears(const std::string& name) const {
    return Eventually([&] { return folder_.Exists(name); });
  }

  ScriptedServer server_;
  ToolFolder folder_;
};

TEST_F(BinaryDownload, SavesTheBytesUnderTheThirdParameter) {
  RunResult run = Run({Url("/tool.dat"), "x", "saved.bin"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("saved.bin"), kBody);
  EXPECT_EQ(Files(), std::vector<std::string>{"saved.bin"});
}

// Windows' download service wants a scheme; without one it fails with MK_E_SYNTAX.
#ifndef _WIN32
TEST_F(BinaryDownload, UrlWithoutSchemeIsFetchedOverHttp) {
  std::string bare = Url("/x.zip").substr(std::string("http://").size());
  RunResult run = Run({bare, "x", "x.zip"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("x.zip"), kBody);
}
#endif

TEST_F(BinaryDownload, ExtSwapsTheDownloadInAndKeepsTheOldExecutable) {
  folder_.Put("tool.exe", "old program");
  RunResult run = Run({Url("/tool.dat"), "x", "tool.dat", "ext", "exe"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("tool.exe"), kBody);
  EXPECT_EQ(folder_.Get("tool.old"), "old program");
  EXPECT_EQ(Files(), (std::vector<std::string>{"tool.exe", "tool.old"}));
}

// The way the tool updates itself: a running program cannot be replaced, only renamed.
TEST_F(BinaryDownload, ExtSwapsTheRunningProgramItself) {
  // On Linux the tool is given a Windows name, so that "ext" addresses the running program.
  if (std::string(ToolFolder::ExecutableName()) != "vrk.exe") {
    std::filesystem::copy_file(folder_.Inside(ToolFolder::ExecutableName()), folder_.Inside("vrk.exe"));
  }
  const std::string running = folder_.Get("vrk.exe");
  RunResult run = folder_.RunBy(folder_.Inside("vrk.exe"), {Url("/vrk.dat"), "x", "vrk.dat", "ext", "exe"},
                                folder_.Path().string());
  EXPECT_EQ(run.err, "");
  // Compared without printing: a program's bytes make no readable message.
  EXPECT_TRUE(folder_.Get("vrk.exe") == kBody) << "vrk.exe is not the download";
  EXPECT_TRUE(folder_.Get("vrk.old") == running) << "vrk.old is not the program that ran";
  EXPECT_FALSE(folder_.Exists("vrk.dat"));
}

// A reply cut before its body can reach the tool as a download of no bytes: no program.
TEST_F(BinaryDownload, EmptyDownloadIsNeverSwappedIn) {
  folder_.Put("tool.exe", "old program");
  RunResult run = Run({Url("/empty.dat"), "x", "tool.dat", "ext", "exe"});
  EXPECT_EQ(run.err, Box(kConnectionError, "OLE error 800C0008"));
  EXPECT_EQ(folder_.Get("tool.exe"), "old program");
  EXPECT_FALSE(folder_.Exists("tool.old"));
  // Without "ext" an empty resource is saved as it is.
  run = Run({Url("/empty.dat"), "x", "empty.dat"});
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(folder_.Exists("empty.dat"));
}

TEST_F(BinaryDownload, ExtWithoutAnOldExecutableJustRenames) {
  Run({Url("/tool.dat"), "x", "tool.dat", "ext", "exe"});
  EXPECT_EQ(Files(), std::vector<std::string>{"tool.exe"});
}

TEST_F(BinaryDownload, SecondSwapWhileTheOldBackupExistsChangesNothing) {
  folder_.Put("tool.exe", "current");
  folder_.Put("tool.old", "older");
  Run({Url("/tool.dat"), "x", "tool.dat", "ext", "exe"});
  EXPECT_EQ(folder_.Get("tool.exe"), "current");
  EXPECT_EQ(folder_.Get("tool.old"), "older");
  EXPECT_EQ(folder_.Get("tool.dat"), kBody);
}

TEST_F(BinaryDownload, ExtInCapitalsDoesNotSwap) {
  folder_.Put("tool.exe", "old program");
  Run({Url("/tool.dat"), "x", "tool.dat", "EXT", "exe"});
  EXPECT_EQ(folder_.Get("tool.exe"), "old program");
  EXPECT_EQ(folder_.Get("tool.dat"), kBody);
}

TEST_F(BinaryDownload, TargetStartingWithBackslashLandsInTheCurrentFolder) {
  ToolFolder work;
  RunResult run = folder_.Run({Url("/tool.dat"), "x", "\\in-work.dat"}, work.Path().string(),
                              {"no_proxy=127.0.0.1"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(work.Get("in-work.dat"), kBody);
  EXPECT_FALSE(folder_.Exists("in-work.dat"));
}

TEST_F(BinaryDownload, EmptyOutputNameIsARangeErrorAndNothingIsFetched) {
  RunResult run = Run({Url("/tool.dat"), "x", ""});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, Box("VRK", "Range check error."));
  EXPECT_EQ(server_.ConnectionCount(), 0u);
  EXPECT_TRUE(Files().empty());
}

TEST_F(BinaryDownload, NotFoundShowsTheConnectionErrorAndLeavesTheTargetAlone) {
  folder_.Put("tool.dat", "previous");
  folder_.Put("tool.exe", "old program");
  RunResult run = Run({Url("/missing.dat"), "x", "tool.dat", "ext", "exe", "runme"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, Box(kConnectionError, "OLE error 800C0005"));
  EXPECT_EQ(folder_.Get("tool.dat"), "previous");
  EXPECT_EQ(folder_.Get("tool.exe"), "old program");
  EXPECT_EQ(Files(), (std::vector<std::string>{"tool.dat", "tool.exe"}));
}

TEST_F(BinaryDownload, RefusedConnectionShowsTheConnectionError) {
  std::string url;
  {
    ScriptedServer closed(ConnectionPlan::Http([](const HttpRequest&) { return HttpResponse::Text(200, ""); }));
    url = closed.Url("/tool.dat");
  }
  folder_.Put("tool.dat", "previous");
  RunResult run = Run({url, "x", "tool.dat"});
  // Wine's download service reports a refused connection as a failed download.
  const char* code = RunningUnderWine() ? "OLE error 800C0008" : "OLE error 800C0004";
  EXPECT_EQ(run.err, Box(kConnectionError, code));
  EXPECT_EQ(folder_.Get("tool.dat"), "previous");
}

// Both start shell scripts and a stand-in for the desktop's opener, which are POSIX's.
#ifndef _WIN32
TEST_F(BinaryDownload, RunmeStartsAnExecutableResult) {
  // A download that replaces a file keeps its permissions, so the script stays executable.
  folder_.Put("script.dat", "");
  chmod(folder_.Inside("script.dat").c_str(), 0755);
  RunResult run = Run({Url("/script.dat"), "x", "script.dat", "no", "no", "runme"});
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(Appears("ran.txt"));
}

TEST_F(BinaryDownload, RunmeOpensOtherFilesWithTheAssociatedProgram) {
  // A stand-in for the desktop's opener records what it was asked to open.
  ToolFolder bin;
  bin.Put("xdg-open", "#!/bin/sh\necho \"$1\" > \"" + folder_.Inside("opened.txt") + "\"\n");
  chmod(bin.Inside("xdg-open").c_str(), 0755);
  std::string path = bin.Path().string() + ":" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin");
  RunResult run = folder_.Run({Url("/tool.dat"), "x", "tool.dat", "ext", "exe", "runme"}, "",
                              {"PATH=" + path, "no_proxy=127.0.0.1"});
  EXPECT_EQ(run.err, "");
  ASSERT_TRUE(Appears("opened.txt"));
  // After the swap the result is addressed with the fifth parameter's extension; a
  // downloaded file is no program here, so the desktop's opener gets it.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(folder_.Get("opened.txt"), folder_.Inside("tool.exe") + "\n");
}
#endif

TEST_F(BinaryDownload, ExtWithoutAFifthParameterStillSwaps) {
  // An empty parameter in the middle of a command line is skipped, so an empty fifth
  // parameter can only be the last one given.
  RunResult run = Run({Url("/tool.dat"), "x", "tool.dat", "ext", ""});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Files(), std::vector<std::string>{"tool.exe"});
}

}  // namespace
}  // namespace vrk_test
