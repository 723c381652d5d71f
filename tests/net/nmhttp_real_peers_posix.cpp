// The HTTP client against real servers: nginx as the origin, squid as the proxy between.
// POSIX only: the Windows build has no nginx or squid to start.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "net/NMHttp.h"
#include "tests/net/nmhttp_test_support.h"
#include "tools/real_peers/keep_alive_probe.h"
#include "tools/real_peers/real_peers.h"

namespace vrk {
namespace {

using namespace http_test;
using vrk_test::AcceptsConnections;
using vrk_test::KeptOpenAfterResponse;
using vrk_test::NginxPeer;
using vrk_test::NginxSite;
using vrk_test::SquidPeer;
using Clock = std::chrono::steady_clock;

#define VRK_REQUIRE_NGINX() \
  if (!NginxPeer::Program()) GTEST_SKIP() << "nginx is not installed"
#define VRK_REQUIRE_SQUID() \
  if (!SquidPeer::Program()) GTEST_SKIP() << "squid is not installed"

// Line ends of both kinds, bytes above 127 and a zero byte, and no final line end.
const std::string kMixedText = std::string("first line\r\nsecond\nt\xE9xt \xC4\x8D") + '\0' + "after zero";

// Every byte value, in an order that shows where a copy went wrong.
std::string Bytes(std::size_t count) {
  std::string bytes(count, '\0');
  std::uint32_t state = 12345;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 16);
  }
  return bytes;
}

std::unique_ptr<TNMHTTP> ClientThrough(const SquidPeer& squid, std::int32_t timeOut = 30000) {
  auto client = MakeClient(timeOut);
  client->Proxy = "127.0.0.1";
  client->ProxyPort = squid.Port();
  return client;
}

bool HasKeepAlive(const Text& head) {
  std::string lower = head.ToStdString();
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("connection: keep-alive\r\n") != std::string::npos;
}

TEST(RealPeerNginx, StaticTextArrivesByteForByte) {
  VRK_REQUIRE_NGINX();
  NginxPeer nginx(NginxSite().File("dir/mixed.txt", kMixedText));
  auto client = MakeClient();
  EventLog log;
  log.Attach(*client);
  client->Get(Text(nginx.Url("/dir/mixed.txt")));
  EXPECT_EQ(client->ReplyNumber, 200);
  EXPECT_EQ(client->BytesTotal, static_cast<std::int32_t>(kMixedText.size()));
  EXPECT_EQ(client->Body.ToStdString(), kMixedText);
  EXPECT_EQ(log.events, (std::vector<std::string>{"send", "success 0"}));
  EXPECT_FALSE(client->IsConnected());
}

TEST(RealPeerNginx, MissingFileRaisesFailureAndNotSuccess) {
  VRK_REQUIRE_NGINX();
  NginxPeer nginx(NginxSite().File("present.txt", "here"));
  auto client = MakeClient();
  EventLog log;
  log.Attach(*client);
  client->Get(Text(nginx.Url("/absent.txt")));
  EXPECT_EQ(client->ReplyNumber, 404);
  EXPECT_NE(client->Body.Pos("404"), 0u);  // nginx's own error page
  EXPECT_EQ(log.events, (std::vector<std::string>{"send", "failure 0"}));
}

TEST(RealPeerNginx, RedirectionsAreFollowedToTheFinalText) {
  VRK_REQUIRE_NGINX();
  NginxPeer nginx(NginxSite()
                      .File("final.txt", kMixedText)
                      .Redirect("/old", 301, "/step")
                      .Redirect("/step", 302, "/final.txt"));
  auto client = MakeClient();
  EventLog log;
  log.Attach(*client);
  client->Get(Text(nginx.Url("/old")));
  EXPECT_EQ(client->ReplyNumber, 200);
  EXPECT_EQ(client->Body.ToStdString(), kMixedText);
  EXPECT_EQ(client->LastLocation, Text(nginx.Url("/final.txt")));  // made absolute by nginx
  EXPECT_EQ(log.events,
            (std::vector<std::string>{"send", "redirect", "send", "redirect", "send", "success 0"}));
  const std::string requests = nginx.AccessLog();
  EXPECT_NE(requests.find("GET /old HTTP/1.0 301"), std::string::npos) << requests;
  EXPECT_NE(requests.find("GET /step HTTP/1.0 302"), std::string::npos) << requests;
  EXPECT_NE(requests.find("GET /final.txt HTTP/1.0 200"), std::string::npos) << requests;
}

TEST(RealPeerNginx, CookieIsReadAndCarriedOnAfterARedirection) {
  VRK_REQUIRE_NGINX();
  NginxPeer nginx(NginxSite()
                      .File("welcome.txt", "welcome")
                      .Cookie("/login", "session=abc; path=/", "/welcome.txt", 302)
                      .Cookie("/plain", "flavour=oat", "cookie set"));
  auto client = MakeClient();
  client->Get(Text(nginx.Url("/plain")));
  EXPECT_EQ(client->Body, "cookie set");
  EXPECT_EQ(client->LastCookie, "flavour=oat");

  client->Get(Text(nginx.Url("/login")));
  EXPECT_EQ(client->Body, "welcome");
  EXPECT_EQ(client->HeaderInfo->Cookie, "session=abc; path=/");
  const std::string requests = nginx.AccessLog();
  EXPECT_NE(requests.find("GET /welcome.txt HTTP/1.0 200 \"session=abc; path=/\""), std::string::npos)
      << requests;
}

TEST(RealPeerSquid, BodyArrivesThroughTheProxy) {
  VRK_REQUIRE_NGINX();
  VRK_REQUIRE_SQUID();
  NginxPeer nginx(NginxSite().File("mixed.txt", kMixedText));
  SquidPeer squid;
  auto client = ClientThrough(squid);
  EventLog log;
  log.Attach(*client);
  client->Get(Text(nginx.Url("/mixed.txt")));
  EXPECT_EQ(client->ReplyNumber, 200);
  EXPECT_EQ(client->Body.ToStdString(), kMixedText);
  EXPECT_EQ(log.events, (std::vector<std::string>{"send", "success 0"}));
  // The origin saw the request come through squid, not from the client directly.
  const std::string requests = nginx.AccessLog();
  EXPECT_NE(requests.find("GET /mixed.txt HTTP/1.1 200 \"-\" \"1.0 vrk-test-proxy"), std::string::npos)
      << requests;
}

// Squid honours the client's "Proxy-Connection: Keep-Alive" and leaves the connection open
// for minutes; the announced length must end the body, or the call waits out the time-out.
TEST(RealPeerSquid, KeptAliveResponseEndsAfterItsLength) {
  VRK_REQUIRE_NGINX();
  VRK_REQUIRE_SQUID();
  NginxPeer nginx(NginxSite().File("kept.txt", kMixedText));
  SquidPeer squid;
  // Asked as the client asks, squid holds the connection open once the response is complete.
  ASSERT_TRUE(KeptOpenAfterResponse(squid.Port(),
                                    "GET " + nginx.Url("/kept.txt") +
                                        " HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\nHost: 127.0.0.1\r\n\r\n",
                                    1s));
  auto client = ClientThrough(squid, 30000);
  EventLog log;
  log.Attach(*client);
  const auto start = Clock::now();
  client->Get(Text(nginx.Url("/kept.txt")));
  EXPECT_LT(Clock::now() - start, 10s);
  EXPECT_TRUE(HasKeepAlive(client->Header)) << client->Header.ToStdString();
  EXPECT_EQ(client->Body.ToStdString(), kMixedText);
  EXPECT_EQ(log.events, (std::vector<std::string>{"send", "success 0"}));
  EXPECT_FALSE(client->IsConnected());

  // The next call opens a connection of its own and ends as promptly.
  const auto again = Clock::now();
  client->Get(Text(nginx.Url("/kept.txt")));
  EXPECT_LT(Clock::now() - again, 10s);
  EXPECT_EQ(client->Body.ToStdString(), kMixedText);
}

TEST(RealPeerSquid, WithoutClientKeepAliveTheProxyCloses) {
  VRK_REQUIRE_NGINX();
  VRK_REQUIRE_SQUID();
  NginxPeer nginx(NginxSite().File("kept.txt", kMixedText));
  SquidPeer squid(vrk_test::SquidOptions{.clientKeepAlive = false});
  EXPECT_FALSE(KeptOpenAfterResponse(squid.Port(),
                                     "GET " + nginx.Url("/kept.txt") +
                                         " HTTP/1.0\r\nProxy-Connection: Keep-Alive\r\nHost: 127.0.0.1\r\n\r\n",
                                     1s));
  auto client = ClientThrough(squid);
  client->Get(Text(nginx.Url("/kept.txt")));
  EXPECT_FALSE(HasKeepAlive(client->Header)) << client->Header.ToStdString();
  EXPECT_EQ(client->Body.ToStdString(), kMixedText);
}

TEST(RealPeerSquid, LargeBodyArrivesByteForByte) {
  VRK_REQUIRE_NGINX();
  VRK_REQUIRE_SQUID();
  const std::string large = Bytes(5 * 1024 * 1024);
  NginxPeer nginx(NginxSite().File("large.bin", large));
  SquidPeer squid;
  auto client = ClientThrough(squid, 30000);
  const auto start = Clock::now();
  client->Get(Text(nginx.Url("/large.bin")));
  EXPECT_LT(Clock::now() - start, 20s);
  EXPECT_EQ(client->ReplyNumber, 200);
  EXPECT_EQ(client->BytesTotal, static_cast<std::int32_t>(large.size()));
  ASSERT_EQ(client->Body.Length(), large.size());
  EXPECT_TRUE(client->Body.View() == large);  // not EXPECT_EQ: a 5 MB diff is no help
}

TEST(RealPeerLifecycle, PeersStopAndLeaveNothingBehind) {
  VRK_REQUIRE_NGINX();
  VRK_REQUIRE_SQUID();
  std::uint16_t nginxPort = 0;
  std::uint16_t squidPort = 0;
  std::filesystem::path nginxFolder;
  std::filesystem::path squidFolder;
  {
    NginxPeer nginx(NginxSite().File("a.txt", "a"));
    SquidPeer squid;
    nginxPort = nginx.Port();
    squidPort = squid.Port();
    nginxFolder = nginx.Folder();
    squidFolder = squid.Folder();
    EXPECT_NE(nginxPort, 80);
    EXPECT_NE(squidPort, 3128);
    EXPECT_TRUE(AcceptsConnections(nginxPort));
    EXPECT_TRUE(AcceptsConnections(squidPort));
  }
  EXPECT_FALSE(AcceptsConnections(nginxPort));
  EXPECT_FALSE(AcceptsConnections(squidPort));
  EXPECT_FALSE(std::filesystem::exists(nginxFolder));
  EXPECT_FALSE(std::filesystem::exists(squidFolder));
}

TEST(RealPeerLifecycle, TwoInstancesRunSideBySide) {
  VRK_REQUIRE_NGINX();
  NginxPeer first(NginxSite().File("which.txt", "first"));
  NginxPeer second(NginxSite().File("which.txt", "second"));
  EXPECT_NE(first.Port(), second.Port());
  auto client = MakeClient();
  client->Get(Text(second.Url("/which.txt")));
  EXPECT_EQ(client->Body, "second");
  client->Get(Text(first.Url("/which.txt")));
  EXPECT_EQ(client->Body, "first");
}

}  // namespace
}  // namespace vrk
