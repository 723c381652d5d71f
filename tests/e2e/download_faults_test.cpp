// Binary downloads that must end on their own and never harm a file: a connection reset in
// the middle of the body, endless or long chains of redirections, a slow but steady server,
// files of the user's beside the target named like the download's temporary ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/host.h"
#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

using namespace std::chrono_literals;

const std::string kConnectionError = "Chyba připojení";
// The tool's stall limit for these runs, instead of a minute.
constexpr auto kStallLimit = 1500ms;
// Starting the tool (and Wine) and dismissing its box take their share beside the limit.
constexpr auto kRunBound = kStallLimit + 8s;

std::string OleError(const std::string& code) { return Box(kConnectionError, "OLE error " + code); }

class BinaryDownloadFaults : public ::testing::Test {
 protected:
  // Downloads the URL to tool.dat, which holds "previous" beforehand; the run's time in `took`.
  RunResult Download(const std::string& url, std::chrono::steady_clock::duration* took = nullptr) {
    folder_.Put("tool.dat", "previous");
    const auto start = std::chrono::steady_clock::now();
    RunResult run = folder_.Run({url, "x", "tool.dat"}, "",
                                {"no_proxy=127.0.0.1,localhost", "NO_PROXY=127.0.0.1",
                                 "VRK_DOWNLOAD_STALL_MS=" + std::to_string(kStallLimit.count())});
    if (took != nullptr) *took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0);
    return run;
  }
  std::vector<std::string> Files() const { return folder_.FilesBesideTheTool(); }

  ToolFolder folder_;
};

TEST_F(BinaryDownloadFaults, ResetMidBodyEndsWithTheConnectionErrorWithinTheStallLimit) {
  ScriptedServer server(ConnectionPlan::Repeating(
      Script().ReceiveHead().Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" +
                                  std::string(5000, 'p')).Pause(50ms).Reset()));
  std::chrono::steady_clock::duration took{};
  RunResult run = Download(server.Url("/tool.dat"), &took);
  // Wine's service never notices the reset; only the stall limit ends it.
  EXPECT_EQ(run.err, OleError(RunningUnderWine() ? "800C000B" : "800C0008"));
  EXPECT_LT(took, kRunBound);
  EXPECT_EQ(folder_.Get("tool.dat"), "previous");
  EXPECT_EQ(Files(), std::vector<std::string>{"tool.dat"});
}

// A head that the close cut after its status line, or a body short of its length, is no
// download: the connection error, and the file stays as it was.
TEST_F(BinaryDownloadFaults, CutHeadOrShortBodyLeavesTheFileAsItWas) {
  const std::string shortBody = "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc";
  const std::vector<std::string> answers = {"HTTP/1.0 200 OK\r\n", "HTTP/1.0 200 OK\r\nContent-Type: app",
                                            shortBody};
  for (const std::string& answer : answers) {
    SCOPED_TRACE(answer);
    ScriptedServer server(ConnectionPlan::Repeating(Script().ReceiveHead().Send(answer).Close()));
    const RunResult run = Download(server.Url("/tool.dat"));
    if (RunningUnderWine() && answer != shortBody) {
      // Wine's service tells such a head from a whole one of an empty body by nothing.
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(folder_.Get("tool.dat"), "");
      continue;
    }
    EXPECT_EQ(run.err, OleError("800C0008"));
    EXPECT_EQ(folder_.Get("tool.dat"), "previous");
    EXPECT_EQ(Files(), std::vector<std::string>{"tool.dat"});
  }
}

// The stall limit counts from the last byte and holds within a second: the connection of a
// body that falls silent ends that soon after the silence began.
TEST_F(BinaryDownloadFaults, SilentBodyEndsWithinASecondOfTheStallLimit) {
  ScriptedServer server(ConnectionPlan::Repeating(
      Script().ReceiveHead().Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" +
                                  std::string(5000, 'p')).Stall()));
  std::chrono::steady_clock::time_point silent{};
  std::chrono::steady_clock::time_point closed{};
  std::thread timer([&] {
    if (server.WaitForMarker(0, "\r\n\r\n", kRunBound)) silent = std::chrono::steady_clock::now();
    if (server.WaitForPeerClose(0, kRunBound)) closed = std::chrono::steady_clock::now();
  });
  RunResult run = Download(server.Url("/tool.dat"));
  timer.join();
  EXPECT_EQ(run.err, OleError("800C000B"));
  ASSERT_NE(closed, std::chrono::steady_clock::time_point{});
  EXPECT_GE(closed - silent, kStallLimit - 50ms);
  EXPECT_LT(closed - silent, kStallLimit + 1s);
  EXPECT_EQ(folder_.Get("tool.dat"), "previous");
}

TEST_F(BinaryDownloadFaults, RedirectionLoopEndsWithTheConnectionErrorAfterTwentyRedirections) {
  ScriptedServer server(ConnectionPlan::Http(
      [](const HttpRequest& request) { return HttpResponse::Redirect(302, request.target); }));
  std::chrono::steady_clock::duration took{};
  RunResult run = Download(server.Url("/tool.dat"), &took);
  EXPECT_EQ(run.err, OleError("800C0014"));
  EXPECT_LT(took, kRunBound);
  // The first request and twenty redirections. Wine's service goes on following in the
  // background after the abort, until the tool ends.
  if (RunningUnderWine()) {
    EXPECT_GE(server.Requests().size(), 21u);
  } else {
    EXPECT_EQ(server.Requests().size(), 21u);
  }
  EXPECT_EQ(folder_.Get("tool.dat"), "previous");
  EXPECT_EQ(Files(), std::vector<std::string>{"tool.dat"});
}

TEST_F(BinaryDownloadFaults, TwentyRedirectionsAreFollowed) {
  // "/N.dat" moves on to "/N-1.dat", down to "/0.dat".
  ScriptedServer server(ConnectionPlan::Http([](const HttpRequest& request) {
    const int left = std::stoi(request.target.substr(1));
    if (left == 0) return HttpResponse::Text(200, "arrived");
    return HttpResponse::Redirect(302, "/" + std::to_string(left - 1) + ".dat");
  }));
  RunResult run = Download(server.Url("/20.dat"));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("tool.dat"), "arrived");
  EXPECT_EQ(server.Requests().size(), 21u);
}

TEST_F(BinaryDownloadFaults, SlowButSteadyBodyOutlastsTheStallLimit) {
  const std::vector<std::string> pieces(6, std::string(100, 's'));
  ScriptedServer server(ConnectionPlan::Repeating(
      Script().ReceiveHead().Send("HTTP/1.1 200 OK\r\nContent-Length: 600\r\n\r\n")
          .SendPieces(pieces, kStallLimit / 3)));
  RunResult run = Download(server.Url("/tool.dat"));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("tool.dat"), std::string(600, 's'));
}

TEST_F(BinaryDownloadFaults, OnlyTheTemporariesOfEndedRunsGo) {
  // One of a run still at work (this one's number), names that only look like temporaries,
  // the name downloads were once written to; and one a killed run left (no such process).
  const std::string running = ".tool.dat." + std::to_string(CurrentProcessId()) + "-5.tmp";
  const std::vector<std::string> users = {running, ".tool.dat.4999999-5.tmp.keep",
                                          ".tool.dat.x-5.tmp", "tool.dat.vrk-download"};
  for (const std::string& name : users) folder_.Put(name, "the user's " + name);
  folder_.Put(".tool.dat.4999999-5.tmp", "left by a killed run");
  ScriptedServer server(ConnectionPlan::Http([](const HttpRequest& request) {
    if (request.target == "/missing.dat") return HttpResponse::Text(404, "<html>not here</html>");
    return HttpResponse::Text(200, "downloaded");
  }));
  EXPECT_EQ(Download(server.Url("/missing.dat")).err, OleError("800C0005"));
  EXPECT_EQ(Download(server.Url("/tool.dat")).err, "");
  EXPECT_EQ(folder_.Get("tool.dat"), "downloaded");
  for (const std::string& name : users) EXPECT_EQ(folder_.Get(name), "the user's " + name);
  std::vector<std::string> expected = users;
  expected.push_back("tool.dat");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Files(), expected);
}

}  // namespace
}  // namespace vrk_test
