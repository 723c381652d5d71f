// vrk.exe started with the show states a shortcut or another program may ask for. It fetches
// a text that a loopback server answers with 404, so the run shows no box, delivers nothing
// and ends through its show handler, which is what the show state decides about.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/winapi.h"
#include "tests/support/child_process.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

using vrk_test::ConnectionPlan;
using vrk_test::HttpRequest;
using vrk_test::HttpResponse;
using vrk_test::ScriptedServer;

ScriptedServer& NotFoundServer() {
  static ScriptedServer server(
      ConnectionPlan::Http([](const HttpRequest&) { return HttpResponse::Text(404, ""); }));
  return server;
}

class StartedTool {
 public:
  explicit StartedTool(WORD showState) : process_(VRK_EXECUTABLE, Options(showState)) {}

  bool EndsWithin(DWORD milliseconds) {
    return process_.Wait(std::chrono::milliseconds(milliseconds)).has_value();
  }
  std::optional<int> ExitCode() { return process_.Wait(std::chrono::milliseconds(0)); }
  std::vector<HWND> MinimisedWindows() const {
    Search search{static_cast<DWORD>(process_.Id()), {}};
    EnumWindows(CollectMinimised, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

 private:
  struct Search {
    DWORD process;
    std::vector<HWND> found;
  };
  static BOOL CALLBACK CollectMinimised(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsIconic(window)) search->found.push_back(window);
    return TRUE;
  }

  static vrk_test::ChildOptions Options(WORD showState) {
    vrk_test::ChildOptions options = vrk_test::Arguments({NotFoundServer().Url("/none.txt")});
    options.showState = showState;
    return options;
  }

  vrk_test::ChildProcess process_;
};

TEST(ShowState, StartedMinimisedTheRunWaitsUntilRestored) {
  StartedTool tool(SW_SHOWMINNOACTIVE);
  EXPECT_FALSE(tool.EndsWithin(1000));
  const std::vector<HWND> minimised = tool.MinimisedWindows();
  ASSERT_EQ(minimised.size(), 1u);
  EXPECT_TRUE(IsWindowVisible(minimised[0]));  // the task bar entry the user restores
  ShowWindow(minimised[0], SW_RESTORE);
  ASSERT_TRUE(tool.EndsWithin(5000));
  EXPECT_EQ(tool.ExitCode(), 0);
}

TEST(ShowState, StartedMaximisedTheRunEndsAtOnce) {
  StartedTool tool(SW_SHOWMAXIMIZED);
  ASSERT_TRUE(tool.EndsWithin(5000));
  EXPECT_EQ(tool.ExitCode(), 0);
}

TEST(ShowState, StartedNormallyTheRunEndsAtOnce) {
  StartedTool tool(SW_SHOWNORMAL);
  ASSERT_TRUE(tool.EndsWithin(5000));
  EXPECT_EQ(tool.ExitCode(), 0);
}

}  // namespace
