// The clipboard holds the text when the tool ends, as on Windows, where batch files read it
// right after the run. The copying tool ends before its holder in the background has taken the
// clipboard, which a busy machine shows most often.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/own_x_display.h"
#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

// Two threads that keep both cores busy for as long as it lives.
class CpuLoad {
 public:
  CpuLoad() {
    for (int i = 0; i < 2; ++i) {
      threads_.emplace_back([this] {
        while (!stop_.load(std::memory_order_relaxed)) {
        }
      });
    }
  }
  ~CpuLoad() {
    stop_ = true;
    for (std::thread& thread : threads_) thread.join();
  }
  CpuLoad(const CpuLoad&) = delete;
  CpuLoad& operator=(const CpuLoad&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

// The clipboard as a batch file reads it the moment the tool has ended: xclip started at once,
// without a shell in between.
std::string ClipboardNow(const std::string& display) {
  ChildOptions options = Arguments({"-o", "-selection", "clipboard"});
  options.environment = {display};
  options.input = Stream::kNull;
  options.output = Stream::kPipe;
  options.error = Stream::kPipe;
  ChildProcess reader("xclip", options);
  std::string text;
  std::string error;
  if (!reader.ReadToEnd(text, error, std::chrono::seconds(10))) return "(xclip did not end)";
  return text;
}

// Every run copies a text of its own, so a clipboard read too early shows the one before.
class ClipboardRace : public ::testing::Test {
 protected:
  ClipboardRace()
      : display(own_.Name().empty() ? "" : "DISPLAY=" + own_.Name()),
        server(ConnectionPlan::Http([](const HttpRequest& request) {
          return HttpResponse::Text(200, "text " + request.target);
        })) {}

  void SetUp() override {
    if (display.empty() || std::system("command -v xclip >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "needs Xvfb and xclip (scripts/install-deps.sh)";
    }
  }

 private:
  OwnXDisplay own_;

 protected:
  const std::string display;
  ScriptedServer server;
  ToolFolder folder;
};

TEST_F(ClipboardRace, TheTextIsThereWhenTheToolEnds) {
  CpuLoad load;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(25);
  int runs = 0;
  std::vector<std::string> stale;
  for (; runs < 300 && std::chrono::steady_clock::now() < deadline; ++runs) {
    const std::string target = "/" + std::to_string(runs);
    RunResult run = folder.Run({server.Url(target), "x"}, "", {display});
    ASSERT_EQ(run.out + run.err, "") << "run " << runs;
    const std::string held = ClipboardNow(display);
    if (held != "text " + target) stale.push_back("run " + std::to_string(runs) + ": " + held);
  }
  EXPECT_EQ(stale, std::vector<std::string>{}) << "of " << runs << " runs";
  EXPECT_GE(runs, 100) << "too few runs in the time to tell";
}

// Runs at once: each copy's holder takes the place of the one before, while the readers of the
// runs beside it ask holders that are just losing the clipboard. None may leave it without an
// owner: when the last run has ended, it holds the text of one of them.
TEST_F(ClipboardRace, RunsAtOnceLeaveTheTextOfOneOfThem) {
  CpuLoad load;  // slow holders leave more readers waiting
  constexpr int kRuns = 32;
  std::vector<std::string> failures;
  for (int round = 0; round < 12; ++round) {
    std::vector<std::vector<std::string>> argumentLists;
    std::vector<std::string> texts;
    for (int i = 0; i < kRuns; ++i) {
      const std::string target = "/" + std::to_string(round) + "-" + std::to_string(i);
      texts.push_back("text " + target);
      argumentLists.push_back({server.Url(target), "x"});
    }
    const std::vector<RunResult> results = folder.RunAtOnce(argumentLists, {display});
    for (const RunResult& result : results) ASSERT_EQ(result.out + result.err, "") << "round " << round;
    const std::string held = ClipboardNow(display);
    if (std::find(texts.begin(), texts.end(), held) == texts.end()) {
      failures.push_back("round " + std::to_string(round) + ": " + held);
    }
  }
  EXPECT_EQ(failures, std::vector<std::string>{});
}

}  // namespace
}  // namespace vrk_test
