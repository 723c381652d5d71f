// Hostile and unusual answers met by the tool's HTTP client as a user runs it: a head that
// never ends, lengths that do not hold, values that would start a line of their own in the
// next request, long chains of redirections. Each case checks every request's exact bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "tests/support/host.h"
#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

// The head of a GET that the tool sends straight to the server.
std::string GetHead(const std::string& path, const std::string& cookie = "") {
  return "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n" +
         "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
         "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n" +
         (cookie.empty() ? "" : "Cookie: " + cookie + "\r\n") +
         "Content-type: application/x-www-form-urlencoded\r\n\r\n";
}

Script Answer(const std::string& response) { return Script().ReceiveHead().Send(response).Close(); }

std::string Moved(const std::string& location) {
  return "HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\nmoved";
}

class HttpFaults : public ::testing::Test {
 protected:
  // Plays the scripts on successive connections and fetches the path into `file`.
  RunResult Fetch(std::vector<Script> scripts, const std::string& file, const std::string& path = "/t.txt") {
    server_ = std::make_unique<ScriptedServer>(ConnectionPlan::Sequence(std::move(scripts)));
    return folder_.Run({server_->Url(path), "W", file}, "", {"no_proxy=127.0.0.1"}, 60);
  }
  // What every connection carried, in order.
  std::vector<std::string> Requests() const {
    std::vector<std::string> requests;
    for (std::size_t i = 0; i < server_->ConnectionCount(); ++i) requests.push_back(server_->Received(i));
    return requests;
  }

  ToolFolder folder_;
  std::unique_ptr<ScriptedServer> server_;
};

TEST_F(HttpFaults, EndlessHeadIsCutOffWithTheReportAndNothingDelivered) {
  // A gibibyte of 1 KiB header lines, streamed: it never stands whole in memory here.
  static const std::string kLine = "X-Fill: " + std::string(1014, 'f') + "\r\n";
  const auto lines = [](std::uint64_t offset, char* buffer, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) buffer[i] = kLine[(offset + i) % kLine.size()];
  };
  RunResult run = Fetch({Script().ReceiveHead().Send("HTTP/1.0 200 OK\r\n").SendGenerated(std::uint64_t{1} << 30, lines)
                             .Send("\r\nbody").Close()},
                        "out.txt");
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, Box("VRK", "Response header too large."));
  EXPECT_FALSE(folder_.Exists("out.txt"));
  EXPECT_EQ(Requests(), std::vector<std::string>{GetHead("/t.txt")});
#ifndef _WIN32
  EXPECT_LT(run.peakKiB, 64 * 1024);
#endif
}

// The peer says it keeps the connection, but its length does not hold: the body then runs
// until the close, as it would without the token.
TEST_F(HttpFaults, KeptAliveBodyIsCutOnlyByALengthThatHolds) {
  const std::vector<std::string> lengths = {"Content-Length: -5\r\n", "Content-Length: x9y\r\n",
                                            "Content-Length: 3\r\nContent-Length: 6\r\n"};
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    SCOPED_TRACE(lengths[i]);
    const std::string file = "out" + std::to_string(i) + ".txt";
    RunResult run = Fetch({Answer("HTTP/1.0 200 OK\r\nConnection: keep-alive\r\n" + lengths[i] + "\r\n0123456789")}, file);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(folder_.Get(file), "0123456789");
    EXPECT_EQ(Requests(), std::vector<std::string>{GetHead("/t.txt")});
  }
}

// A transfer that ended badly delivers nothing, and a file of the same name and its ".old"
// stay as they were: a reset or a close in the head, or in a body short of its length.
TEST_F(HttpFaults, TransferCutShortDeliversNothing) {
  using namespace std::chrono_literals;
  const std::string cutShort = Box("VRK", "Connection closed before the whole response arrived.");
  // Wine reports a reset as a close, so there the cut is what tells.
  const std::string reset = RunningUnderWine() ? cutShort : Box("VRK", "10054:Connection reset by peer.");
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n";
  const std::string keptHead = "HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 100\r\n\r\n";
  const std::vector<std::pair<Script, std::string>> cases = {
      {Script().ReceiveHead().Send(head + std::string(13000, 'b')).Pause(50ms).Reset(), reset},
      {Script().ReceiveHead().Send("HTTP/1.0 200 OK\r\nContent-Le").Pause(50ms).Reset(), reset},
      {Answer("HTTP/1.0 200 OK\r\nContent-Length: 5\r\n"), cutShort},
      {Answer(head + std::string(13000, 'b')), cutShort},
      {Answer(keptHead + "short"), cutShort},
  };
  for (const bool previous : {false, true}) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "case " << i << (previous ? " over a previous file" : ""));
      const std::string file = "out" + std::to_string(i) + (previous ? "p" : "") + ".txt";
      if (previous) folder_.Put(file, "previous");
      RunResult run = Fetch({cases[i].first}, file);
      EXPECT_EQ(run.err, cases[i].second);
      EXPECT_EQ(folder_.Exists(file), previous);
      if (previous) {
        EXPECT_EQ(folder_.Get(file), "previous");
      }
      EXPECT_FALSE(folder_.Exists(file.substr(0, file.size() - 4) + ".old"));
    }
  }
}

// A close at any point of the status line, or before any byte, is no answer at all: nothing
// is delivered, and the file and its .old stay as they were.
TEST_F(HttpFaults, ReplyCutInItsStatusLineDeliversNothing) {
  const std::string status = "HTTP/1.0 200 OK\r\n";
  folder_.Put("out.txt", "previous");
  folder_.Put("out.old", "older");
  for (std::size_t cut = 0; cut < status.size(); ++cut) {
    SCOPED_TRACE(testing::Message() << "cut after " << cut << " bytes");
    RunResult run = Fetch({Answer(status.substr(0, cut))}, "out.txt");
    EXPECT_EQ(run.err, Box("VRK", "Connection closed before the whole response arrived."));
    EXPECT_EQ(folder_.Get("out.txt"), "previous");
    EXPECT_EQ(folder_.Get("out.old"), "older");
  }
}

TEST_F(HttpFaults, CarriageReturnInLocationOrCookieNeverReachesTheNextRequest) {
  RunResult run = Fetch({Answer("HTTP/1.0 302 Found\r\nLocation: /a\rX-Injected: yes\r\nSet-Cookie: s=1\rX-Evil: 1\r\n\r\n"),
                         Answer("HTTP/1.0 200 OK\r\n\r\ndone")},
                        "out.txt");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("out.txt"), "done");
  EXPECT_EQ(Requests(), (std::vector<std::string>{GetHead("/t.txt"), GetHead("/a", "s=1")}));
}

TEST_F(HttpFaults, TwentyRedirectionsAreFollowedAndTheTwentyFirstEndsTheCall) {
  for (const int chain : {20, 21}) {
    SCOPED_TRACE(chain);
    std::vector<Script> scripts;
    std::vector<std::string> expected{GetHead("/t.txt")};
    for (int i = 1; i <= chain; ++i) {
      scripts.push_back(Answer(Moved("/r" + std::to_string(i))));
      expected.push_back(GetHead("/r" + std::to_string(i)));
    }
    scripts.push_back(Answer("HTTP/1.0 200 OK\r\n\r\nend"));
    if (chain == 21) expected.pop_back();  // the 21st redirection is not followed
    const std::string file = "out" + std::to_string(chain) + ".txt";
    RunResult run = Fetch(std::move(scripts), file);
    if (chain == 20) {
      EXPECT_EQ(run.err, "");
      EXPECT_EQ(folder_.Get(file), "end");
    } else {
      EXPECT_EQ(run.err, Box("VRK", "Too many redirections."));
      EXPECT_FALSE(folder_.Exists(file));
    }
    EXPECT_EQ(Requests(), expected);
  }
}

#ifndef _WIN32
// Started with an empty program name (exec -a ''), the parameters stay where they are.
TEST_F(HttpFaults, EmptyProgramNameShiftsNoParameter) {
  server_ = std::make_unique<ScriptedServer>(ConnectionPlan::Sequence({Answer("HTTP/1.0 200 OK\r\n\r\ntext")}));
  RunResult run = folder_.RunNamed("", {server_->Url("/t.txt"), "W", "out.txt"}, {"no_proxy=127.0.0.1"});
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder_.Get("out.txt"), "text");
  EXPECT_EQ(Requests(), std::vector<std::string>{GetHead("/t.txt")});
}
#endif

}  // namespace
}  // namespace vrk_test
