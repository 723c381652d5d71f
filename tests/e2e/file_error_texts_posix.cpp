// A download that cannot be written says why, in the words Windows uses for the condition.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

TEST(FileErrorTexts, DownloadOverTheFileSizeLimitSaysTheFileIsTooLarge) {
  ScriptedServer server(ConnectionPlan::Http(
      [](const HttpRequest&) { return HttpResponse::Text(200, std::string(200000, 'b')); }));
  ToolFolder folder;
  folder.Put("tool.dat", "previous");
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 100000;  // as `ulimit -f`, inherited by the tool
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  RunResult run = folder.Run({server.Url("/tool.dat"), "x", "tool.dat"}, "",
                             {"no_proxy=127.0.0.1", "NO_PROXY=127.0.0.1"});
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err,
            Box("Chyba připojení", "The file size exceeds the limit allowed and cannot be saved"));
  EXPECT_EQ(folder.Get("tool.dat"), "previous");
  EXPECT_EQ(folder.FilesBesideTheTool(), std::vector<std::string>{"tool.dat"});
}

}  // namespace
}  // namespace vrk_test
