// The scripted test server, driven by a plain loopback client.
#include "tools/scripted_server/scripted_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "tests/tools/loopback_client.h"
#include "tools/scripted_server/http_message.h"
#include "tools/scripted_server/socket_shim.h"

namespace {

using namespace std::chrono_literals;
using vrk_test::ConnectionPlan;
using vrk_test::HttpRequest;
using vrk_test::HttpResponse;
using vrk_test::LoopbackClient;
using vrk_test::Script;
using vrk_test::ScriptedServer;
using End = LoopbackClient::End;
using Clock = std::chrono::steady_clock;

TEST(ScriptedServerTest, ReceiveStepsConsumeInOrderAndEverythingIsRecorded) {
  ScriptedServer server(ConnectionPlan::Repeating(
      Script().ReceiveUntil("A").Send("one").ReceiveBytes(3).Send(std::string("t\0o", 3))));
  LoopbackClient client(server.Port());
  ASSERT_TRUE(client.Send("xxA"));
  EXPECT_EQ(client.Read(5s, 3).bytes, "one");
  // "A" inside the next bytes must not satisfy anything again: only the count does.
  ASSERT_TRUE(client.Send("yAz"));
  const auto reading = client.Read();
  EXPECT_EQ(reading.bytes, std::string("t\0o", 3));
  EXPECT_EQ(reading.end, End::kClosed);
  EXPECT_EQ(server.Received(0), "xxAyAz");
  EXPECT_TRUE(server.WaitForEnd(0, 5s));
  EXPECT_TRUE(server.Failures().empty());
}

TEST(ScriptedServerTest, PiecesArriveWithThePausesBetweenThem) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().SendPieces({"ab", "cd", "ef"}, 150ms)));
  LoopbackClient client(server.Port());
  EXPECT_EQ(client.Read(5s, 2).bytes, "ab");
  const auto firstPiece = Clock::now();
  const auto reading = client.Read();
  EXPECT_EQ(reading.bytes, "cdef");
  EXPECT_EQ(reading.end, End::kClosed);
  EXPECT_GE(Clock::now() - firstPiece, 250ms);
}

TEST(ScriptedServerTest, CloseSendsFinEvenWithUnreadBytesWhileResetSendsRst) {
  ScriptedServer server(ConnectionPlan::Sequence(
      {Script().Send("bye").StopReading().Close(), Script().Send("x").Reset()}));
  {
    LoopbackClient client(server.Port());
    ASSERT_TRUE(client.Send(std::string(1000, 'u')));
    const auto reading = client.Read();
    EXPECT_EQ(reading.bytes, "bye");
    EXPECT_EQ(reading.end, End::kClosed);
  }
  {
    LoopbackClient client(server.Port());
    ASSERT_TRUE(server.WaitForEnd(1, 5s));
    EXPECT_EQ(client.Read().end, End::kReset);
  }
}

TEST(ScriptedServerTest, HalfCloseStillReceives) {
  ScriptedServer server(
      ConnectionPlan::Repeating(Script().Send("half").HalfClose().ReceiveUntil("done").Close()));
  LoopbackClient client(server.Port());
  const auto reading = client.Read();
  EXPECT_EQ(reading.bytes, "half");
  EXPECT_EQ(reading.end, End::kClosed);
  ASSERT_TRUE(client.Send("after done"));
  EXPECT_TRUE(server.WaitForMarker(0, "after done", 5s));
  EXPECT_TRUE(server.WaitForEnd(0, 5s));
  EXPECT_TRUE(server.Failures().empty());
}

TEST(ScriptedServerTest, StalledConnectionStaysSilentAndStopIsPrompt) {
  auto server = std::make_unique<ScriptedServer>(ConnectionPlan::Repeating(Script().Stall()));
  LoopbackClient client(server->Port());
  ASSERT_TRUE(client.Send("hello"));
  EXPECT_TRUE(server->WaitForBytes(0, 5, 5s));
  EXPECT_EQ(client.Read(200ms).end, End::kTimedOut);
  const auto start = Clock::now();
  server.reset();
  EXPECT_LT(Clock::now() - start, 1s);
}

TEST(ScriptedServerTest, SequenceGivesEachConnectionItsScriptThenClosesTheRest) {
  ScriptedServer server(ConnectionPlan::Sequence({Script().Send("first"), Script().Send("second")}));
  for (const char* expected : {"first", "second", ""}) {
    LoopbackClient client(server.Port());
    const auto reading = client.Read();
    EXPECT_EQ(reading.bytes, expected);
    EXPECT_EQ(reading.end, End::kClosed);
  }
  EXPECT_EQ(server.ConnectionCount(), 3u);
}

TEST(ScriptedServerTest, ReceiveTimeoutIsReportedAndTheConnectionClosed) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().ReceiveUntil("never", 100ms).Send("no")));
  LoopbackClient client(server.Port());
  const auto reading = client.Read();
  EXPECT_EQ(reading.bytes, "");
  EXPECT_EQ(reading.end, End::kClosed);
  ASSERT_EQ(server.Failures().size(), 1u);
  EXPECT_NE(server.Failures()[0].find("timed out"), std::string::npos);
}

TEST(ScriptedServerTest, StopReadingLetsTheClientsSendBufferFill) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().StopReading().Stall()));
  LoopbackClient client(server.Port());
  const std::string block(1 << 20, 'b');
  bool blocked = false;
  for (int i = 0; i < 64 && !blocked; ++i) blocked = !client.Send(block, 100ms);
  EXPECT_TRUE(blocked);
}

TEST(ScriptedServerTest, NeverAcceptingLeavesConnectsBeyondTheBacklogPending) {
  ScriptedServer server(ConnectionPlan::NeverAccept(1));
  namespace sockets = vrk_test::sockets;
  std::vector<sockets::Socket> connects;
  bool pending = false;
  for (int i = 0; i < 8 && !pending; ++i) {
    const sockets::Socket socket = sockets::StartConnectLoopback(server.Port());
    ASSERT_NE(socket, sockets::kNone);
    connects.push_back(socket);
    sockets::Watch watch{socket, false, true};
    pending = sockets::Wait(&watch, 1, 200) == 0;
  }
  for (const sockets::Socket socket : connects) sockets::Close(socket);
  EXPECT_TRUE(pending);
  EXPECT_EQ(server.ConnectionCount(), 0u);
}

TEST(ScriptedServerTest, GeneratedStreamArrivesWhole) {
  constexpr std::uint64_t kLength = 24 * 1024 * 1024 + 7;
  auto pattern = [](std::uint64_t offset, char* buffer, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) buffer[i] = static_cast<char>((offset + i) * 131 >> 3);
  };
  ScriptedServer server(ConnectionPlan::Repeating(Script().SendGenerated(kLength, pattern)));
  LoopbackClient client(server.Port());
  const auto reading = client.Read(30s);
  ASSERT_EQ(reading.bytes.size(), kLength);
  EXPECT_EQ(reading.end, End::kClosed);
  std::string expected(kLength, '\0');
  pattern(0, expected.data(), expected.size());
  EXPECT_TRUE(reading.bytes == expected);
}

TEST(ScriptedServerTest, RecordLimitKeepsCountingBeyondWhatItKeeps) {
  vrk_test::ServerOptions options;
  options.recordLimit = 4;
  ScriptedServer server(ConnectionPlan::Repeating(Script().ReceiveBytes(10).Send("ok")), options);
  LoopbackClient client(server.Port());
  ASSERT_TRUE(client.Send("0123456789"));
  EXPECT_EQ(client.Read().bytes, "ok");
  EXPECT_EQ(server.Received(0), "0123");
  EXPECT_EQ(server.ReceivedCount(0), 10u);
}

class HttpModeTest : public ::testing::Test {
 protected:
  ScriptedServer server_{ConnectionPlan::Http([](const HttpRequest& request) {
    if (request.target == "/missing") return HttpResponse::Text(404, "gone\n");
    HttpResponse response = HttpResponse::Text(200, request.method + " " + request.target + " [" +
                                                        request.body + "]");
    response.headers.emplace_back("X-Seen-Host", request.Header("host").value_or("none"));
    return response;
  })};

  std::string Exchange(const std::string& request) {
    LoopbackClient client(server_.Port());
    EXPECT_TRUE(client.Send(request));
    const auto reading = client.Read();
    EXPECT_EQ(reading.end, End::kClosed);
    return reading.bytes;
  }
};

TEST_F(HttpModeTest, AnswersWithTheHandlersResponseAndCloses) {
  const std::string answer = Exchange("GET /a?b HTTP/1.1\r\nHost: here\r\n\r\n");
  EXPECT_EQ(answer,
            "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-Seen-Host: here\r\n"
            "Content-Length: 11\r\nConnection: close\r\n\r\nGET /a?b []");
  EXPECT_EQ(Exchange("GET /missing HTTP/1.0\r\n\r\n").substr(0, 22), "HTTP/1.1 404 Not Found");
}

TEST_F(HttpModeTest, ReadsBodiesByLengthAndByChunks) {
  static const char kWithZero[] = "POST /p HTTP/1.1\r\nContent-Length: 5\r\n\r\nab\0cd";
  const std::string byLength = Exchange(std::string(kWithZero, sizeof kWithZero - 1));
  EXPECT_NE(byLength.find(std::string("[ab\0cd]", 7)), std::string::npos);
  const std::string chunked = Exchange(
      "PUT /c HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\nA;x=y\r\n0123456789\r\n"
      "0\r\nTrailer: t\r\n\r\n");
  EXPECT_NE(chunked.find("PUT /c [abc0123456789]"), std::string::npos);
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].body, std::string("ab\0cd", 5));
  EXPECT_EQ(requests[1].method, "PUT");
  EXPECT_EQ(requests[1].body, "abc0123456789");
}

TEST_F(HttpModeTest, HeadGetsTheHeadWithoutTheBody) {
  const std::string answer = Exchange("HEAD /h HTTP/1.1\r\n\r\n");
  EXPECT_NE(answer.find("Content-Length: 10\r\n"), std::string::npos);
  EXPECT_EQ(answer.substr(answer.size() - 4), "\r\n\r\n");
}

TEST_F(HttpModeTest, UnreadableRequestsGet400AndAreReported) {
  EXPECT_EQ(Exchange("garbage\r\n\r\n").substr(0, 24), "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(Exchange("POST / HTTP/1.1\r\nContent-Length: 1x\r\n\r\n").substr(0, 24),
            "HTTP/1.1 400 Bad Request");
  EXPECT_EQ(server_.Failures().size(), 2u);
  EXPECT_TRUE(server_.Requests().empty());
}

TEST(HttpMessageTest, ChunkSizesAreHexadecimalWithOptionalExtensions) {
  EXPECT_EQ(vrk_test::ParseChunkSize("1a"), 26u);
  EXPECT_EQ(vrk_test::ParseChunkSize("FF ; name=value"), 255u);
  EXPECT_FALSE(vrk_test::ParseChunkSize(""));
  EXPECT_FALSE(vrk_test::ParseChunkSize("-1"));
  EXPECT_FALSE(vrk_test::ParseChunkSize("12g"));
}

}  // namespace
