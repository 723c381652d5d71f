// The HTTP client's redirections, cookies carried on, authentication and the bound.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "net/NMHttp.h"
#include "tests/net/nmhttp_test_support.h"
#include "tests/support/expect_throw.h"

namespace vrk {
namespace {

using namespace http_test;

std::string RequestLine(const std::string& received) { return received.substr(0, received.find("\r\n")); }

std::string Redirect(int status, const std::string& extraHeaders) {
  return Response("HTTP/1.0 " + std::to_string(status) + " Moved", extraHeaders, "moved");
}

TEST(NMHttpRedirect, FollowsToAnotherHostAndCarriesTheCookieOn) {
  std::atomic<int> port{0};
  ScriptedServer server(ConnectionPlan::Http([&port](const HttpRequest& request) {
    if (request.target != "/start") return HttpResponse::Text(200, "arrived");
    HttpResponse moved = HttpResponse::Redirect(302, "http://localhost:" + std::to_string(port.load()) + "/new");
    moved.headers.emplace_back("Set-Cookie", "id=7; path=/");
    return moved;
  }));
  port = server.Port();
  auto client = MakeClient();
  EventLog log;
  log.Attach(*client);
  client->Get(Text(server.Url("/start")));
  ASSERT_EQ(server.ConnectionCount(), 2u);
  EXPECT_EQ(RequestLine(server.Received(1)), "GET /new HTTP/1.0");
  EXPECT_NE(server.Received(1).find("\r\nHost: localhost\r\n"), std::string::npos);
  EXPECT_NE(server.Received(1).find("\r\nCookie: id=7; path=/\r\n"), std::string::npos);
  EXPECT_EQ(server.Received(0).find("Cookie"), std::string::npos);
  EXPECT_EQ(client->Host, "localhost");
  EXPECT_EQ(client->HeaderInfo->Cookie, "id=7; path=/");
  EXPECT_EQ(client->Body, "arrived");
  EXPECT_EQ(log.events, (std::vector<std::string>{"send", "redirect", "send", "success 0"}));

  // The cookie stays for later calls.
  client->Get(Text(server.Url("/again")));
  EXPECT_NE(server.Received(2).find("\r\nCookie: id=7; path=/\r\n"), std::string::npos);
}

TEST(NMHttpRedirect, BareRelativeLocationIsResolvedAgainstTheHost) {
  ScriptedServer server(ConnectionPlan::Sequence({
      Answer(Redirect(302, "Location: new.html\r\n")),
      Answer(Response("HTTP/1.0 200 OK", "", "new")),
  }));
  auto client = MakeProxiedClient(server);
  client->Get("srv/dir/start");
  EXPECT_EQ(RequestLine(server.Received(1)), "GET http://srv/new.html HTTP/1.0");
  EXPECT_EQ(client->Body, "new");
}

TEST(NMHttpRedirect, BareRelativeLocationKeepsTheServersPort) {
  ScriptedServer server(ConnectionPlan::Sequence({
      Answer(Redirect(302, "Location: new.html\r\n")),
      Answer(Response("HTTP/1.0 200 OK", "", "new")),
  }));
  auto client = MakeClient();
  client->Get(Text(server.Url("/dir/start")));
  ASSERT_EQ(server.ConnectionCount(), 2u);
  EXPECT_EQ(RequestLine(server.Received(1)), "GET /new.html HTTP/1.0");
  EXPECT_EQ(client->Body, "new");
}

TEST(NMHttpRedirect, RedirectionWithoutLocationRequestsTheLastOneKnown) {
  ScriptedServer server(ConnectionPlan::Sequence({
      Answer(Redirect(301, "")),
      Answer(Redirect(302, "Location: http://srv/known\r\n")),
      Answer(Response("HTTP/1.0 200 OK", "", "")),
      Answer(Redirect(302, "")),
      Answer(Response("HTTP/1.0 200 OK", "", "")),
  }));
  auto client = MakeProxiedClient(server);
  EXPECT_THROW_MSG(client->Get("srv/a"), Exception, "Empty URL");
  EXPECT_EQ(server.ConnectionCount(), 1u);
  client->Get("srv/b");
  client->Get("srv/c");
  EXPECT_EQ(RequestLine(server.Received(4)), "GET http://srv/known HTTP/1.0");
}

TEST(NMHttpRedirect, UnauthorizedRaisesFailureThenAuthenticationAfterClosing) {
  ScriptedServer server(ConnectionPlan::Repeating(Answer(Response("HTTP/1.0 401 Unauthorized", "", "who?"))));
  auto client = MakeClient();
  EventLog log;
  log.Attach(*client);
  bool connectedInHandler = true;
  client->OnAuthenticationNeeded = [&](TObject* sender) {
    EXPECT_EQ(sender, client.get());
    connectedInHandler = client->IsConnected();
    log.events.push_back("authentication");
  };
  client->Get(Text(server.Url("/secret")));
  EXPECT_EQ(log.events, (std::vector<std::string>{"send", "failure 0", "authentication"}));
  EXPECT_FALSE(connectedInHandler);
  EXPECT_EQ(server.ConnectionCount(), 1u);
  EXPECT_EQ(client->Body, "who?");
}

TEST(NMHttpRedirect, HandledRedirectionEndsTheCall) {
  ScriptedServer server(ConnectionPlan::Repeating(
      Answer(Redirect(302, "Set-Cookie: s=1\r\nLocation: http://srv/next\r\n"))));
  auto client = MakeProxiedClient(server);
  EventLog log;
  log.Attach(*client);
  client->OnRedirect = [&log](bool& handled) {
    log.events.push_back("redirect");
    handled = true;
  };
  client->Get("srv/a");
  EXPECT_EQ(log.events, (std::vector<std::string>{"send", "redirect"}));
  EXPECT_EQ(server.ConnectionCount(), 1u);
  EXPECT_EQ(client->CurrentURL, "http://srv/next");
  EXPECT_EQ(client->HeaderInfo->Cookie, "s=1");
}

TEST(NMHttpRedirect, TheTwentyFirstRedirectionEndsTheCall) {
  for (const int status : {302, 303}) {
    SCOPED_TRACE(status);
    ScriptedServer server(ConnectionPlan::Repeating(Answer(Redirect(status, "Location: http://srv/loop\r\n"))));
    auto client = MakeProxiedClient(server);
    EventLog log;
    log.Attach(*client);
    int redirections = 0;
    client->OnRedirect = [&redirections](bool&) { ++redirections; };
    EXPECT_THROW_MSG(client->Get("http://srv/loop"), Exception, "Too many redirections");
    EXPECT_EQ(redirections, TNMHTTP::kMaxRedirections + 1);
    EXPECT_EQ(server.ConnectionCount(), 21u);
    EXPECT_FALSE(client->IsConnected());
  }
}

TEST(NMHttpRedirect, TwentyRedirectionsAreStillFollowed) {
  std::vector<Script> scripts(20, Answer(Redirect(302, "Location: http://srv/next\r\n")));
  scripts.push_back(Answer(Response("HTTP/1.0 200 OK", "", "end")));
  ScriptedServer server(ConnectionPlan::Sequence(std::move(scripts)));
  auto client = MakeProxiedClient(server);
  client->Get("srv/first");
  EXPECT_EQ(client->Body, "end");
  EXPECT_EQ(server.ConnectionCount(), 21u);
}

}  // namespace
}  // namespace vrk
