// A download that cannot be written says why, in the words Windows uses for the condition.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "hidden_library.h"
#include "tests/support/child_process.h"
#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

// In the user's language, as a Windows installed in it words them.
TEST(FileErrorTexts, DownloadOverTheFileSizeLimitSaysTheFileIsTooLarge) {
  ScriptedServer server(ConnectionPlan::Http(
      [](const HttpRequest&) { return HttpResponse::Text(200, std::string(200000, 'b')); }));
  ToolFolder folder;
  folder.Put("tool.dat", "previous");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 100000;  // as `ulimit -f`, inherited by the tool
  const std::pair<std::string, std::string> languages[] = {
      {"LC_ALL=C.UTF-8", "The file size exceeds the limit allowed and cannot be saved"},
      {"LC_ALL=cs_CZ.UTF-8", "Velikost souboru překračuje povolený limit a soubor nelze uložit"}};
  for (const auto& [locale, text] : languages) {
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    RunResult run = folder.Run({server.Url("/tool.dat"), "x", "tool.dat"}, "",
                               {"no_proxy=127.0.0.1", "NO_PROXY=127.0.0.1", locale});
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, Box("Chyba připojení", text));
    EXPECT_EQ(folder.Get("tool.dat"), "previous");
    EXPECT_EQ(folder.FilesBesideTheTool(), std::vector<std::string>{"tool.dat"});
  }
}

// Without the transfer library the download fails as Windows does without its own.
TEST(FileErrorTexts, DownloadWithoutTheTransferLibrarySaysTheModuleIsMissing) {
  const HiddenLibrary curl({"libcurl.so.4", "libcurl-gnutls.so.4"});
  if (!curl.Hidden()) {
    if (std::getenv("CI") != nullptr) FAIL() << "cannot hide the transfer library";
    GTEST_SKIP() << "cannot hide the transfer library here (needs the right to mount)";
  }
  ToolFolder folder;
  folder.Put("tool.dat", "previous");
  const RunResult run = folder.Run({"http://127.0.0.1:9/tool.dat", "x", "tool.dat"});
  EXPECT_EQ(run.err, Box("Chyba připojení", "The specified module could not be found"));
  EXPECT_EQ(folder.Get("tool.dat"), "previous");
}

// Descriptors running out, at each step a download or the proxy command takes (loading the
// transfer library, the socket, reading the registry), are told as that, never as a missing
// library, a failed connection or a missing value.
TEST(FileErrorTexts, TooFewDescriptorsAreToldAsTheFileThatCannotBeOpened) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizers' runtime needs descriptors of its own to check the tool";
#endif
  ScriptedServer server(ConnectionPlan::Http(
      [](const HttpRequest&) { return HttpResponse::Text(200, "tool"); }));
  ToolFolder folder;
  folder.Put("registry.reg",
             "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\"
             "Windows\\CurrentVersion\\Internet Settings]\r\n\"ProxyEnable\"=dword:00000000\r\n");
  const std::string vrk = "\"" + folder.Inside(ToolFolder::ExecutableName()) + "\"";
  const std::pair<std::string, std::string> commands[] = {
      {vrk + " " + server.Url("/tool.dat") + " x tool.dat", Box("Chyba připojení", "The system cannot open the file")},
      {vrk + " proxy", Box("VRK", "The system cannot open the file.")}};
  // Fewer still, and the socket component cannot even start: its own failure, told as such.
  const std::string noSockets = Box("VRK", "Initializaton of windows sockets failed.");
  for (const auto& [command, box] : commands) {
    int told = 0;
    for (int limit = 4; limit <= 8; ++limit) {
      // What the test runner left open is closed first, so that every limit means the same.
      ChildOptions options = Arguments({"-c", "for d in 3 4 5 6 7 8 9; do eval \"exec $d>&-\"; done; ulimit -n " +
                                                  std::to_string(limit) + "; exec " + command});
      options.workDir = folder.Inside("");
      options.environment = {"no_proxy=127.0.0.1", "LC_ALL=C.UTF-8",
                             "VRK_REGISTRY=" + folder.Inside("registry.reg")};
      options.input = Stream::kNull;
      options.output = Stream::kPipe;
      options.error = Stream::kPipe;
      ChildProcess shell("sh", options);
      std::string out, err;
      ASSERT_TRUE(shell.ReadToEnd(out, err, std::chrono::seconds(20)));
      // Enough descriptors for the step: it succeeds.
      if (err.empty() || err == noSockets) continue;
      EXPECT_EQ(err, box) << command << " under " << limit;
      ++told;
    }
    EXPECT_GT(told, 0) << command << ": no limit reached the step";
  }
  EXPECT_FALSE(folder.Exists("vrk.ini.old"));
}

}  // namespace
}  // namespace vrk_test
