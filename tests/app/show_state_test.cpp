// vrk.exe started with the show states a shortcut or another program may ask for. It fetches
// a text that a loopback server answers with 404, so the run shows no box, delivers nothing
// and ends through its show handler, which is what the show state decides about.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/winapi.h"
#include "tests/app/built_executable.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

using vrk::testing::ConnectionPlan;
using vrk::testing::HttpRequest;
using vrk::testing::HttpResponse;
using vrk::testing::ScriptedServer;

ScriptedServer& NotFoundServer() {
  static ScriptedServer server(
      ConnectionPlan::Http([](const HttpRequest&) { return HttpResponse::Text(404, ""); }));
  return server;
}

class StartedTool {
 public:
  explicit StartedTool(WORD showState) {
    std::string line =
        "\"" + vrk::testing::BuiltExecutable() + "\" " + NotFoundServer().Url("/none.txt");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showState;
    started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_) != FALSE;
  }
  ~StartedTool() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  StartedTool(const StartedTool&) = delete;
  StartedTool& operator=(const StartedTool&) = delete;

  bool Started() const { return started_; }
  bool EndsWithin(DWORD milliseconds) const {
    return WaitForSingleObject(process_.hProcess, milliseconds) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }
  std::vector<HWND> MinimisedWindows() const {
    Search search{process_.dwProcessId, {}};
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

  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

TEST(ShowState, StartedMinimisedTheRunWaitsUntilRestored) {
  StartedTool tool(SW_SHOWMINNOACTIVE);
  ASSERT_TRUE(tool.Started());
  EXPECT_FALSE(tool.EndsWithin(1000));
  const std::vector<HWND> minimised = tool.MinimisedWindows();
  ASSERT_EQ(minimised.size(), 1u);
  EXPECT_TRUE(IsWindowVisible(minimised[0]));  // the task bar entry the user restores
  ShowWindow(minimised[0], SW_RESTORE);
  ASSERT_TRUE(tool.EndsWithin(5000));
  EXPECT_EQ(tool.ExitCode(), 0u);
}

TEST(ShowState, StartedMaximisedTheRunEndsAtOnce) {
  StartedTool tool(SW_SHOWMAXIMIZED);
  ASSERT_TRUE(tool.Started());
  ASSERT_TRUE(tool.EndsWithin(5000));
  EXPECT_EQ(tool.ExitCode(), 0u);
}

TEST(ShowState, StartedNormallyTheRunEndsAtOnce) {
  StartedTool tool(SW_SHOWNORMAL);
  ASSERT_TRUE(tool.Started());
  ASSERT_TRUE(tool.EndsWithin(5000));
  EXPECT_EQ(tool.ExitCode(), 0u);
}

}  // namespace
#endif
