// The socket component: start-up, resolving, connecting, notifications, status and
// destruction, against the scripted loopback server.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "net/Psock.h"
#include "tests/net/net_test_support.h"
#include "tests/support/expect_throw.h"
#include "tools/scripted_server/socket_shim.h"

namespace vrk {
namespace {

using namespace net_test;

std::unique_ptr<TSocketProbe> SocketTo(const char* host, std::uint16_t port) {
  auto socket = std::make_unique<TSocketProbe>(nullptr);
  socket->Host = host;
  socket->Port = port;
  return socket;
}

TEST(PowersockStartup, SecondComponentSharesTheStartupAndHasNoInfo) {
  ASSERT_EQ(TPowersock::WinsockUserCount(), 0);
  auto first = std::make_unique<TSocketProbe>(nullptr);
  EXPECT_EQ(TPowersock::WinsockUserCount(), 1);
  ASSERT_EQ(first->WinsockInfo->Count(), 6);
  EXPECT_EQ((*first->WinsockInfo)[0], "Version= 1.1");
  EXPECT_EQ((*first->WinsockInfo)[2].Sub(1, 13), "Description= ");
  EXPECT_EQ((*first->WinsockInfo)[5].Sub(1, 19), "Max Udp pack size= ");
  EXPECT_NE(first->SocketHandle, TPowersock::kNoSocket);
  EXPECT_EQ(first->ReportLevel, 1);
  EXPECT_EQ(first->TimeOut, 0);

  auto second = std::make_unique<TSocketProbe>(nullptr);
  EXPECT_EQ(TPowersock::WinsockUserCount(), 2);
  EXPECT_EQ(second->WinsockInfo->Count(), 0);
  first.reset();
  // The first one's departure leaves the service running for the second.
  EXPECT_EQ(TPowersock::WinsockUserCount(), 1);
  ScriptedServer server(ConnectionPlan::Repeating(Script().Stall()));
  second->Host = "127.0.0.1";
  second->Port = server.Port();
  second->Connect();
  EXPECT_TRUE(second->IsConnected());
  second.reset();
  EXPECT_EQ(TPowersock::WinsockUserCount(), 0);
}

TEST(PowersockConnect, DottedAddressNeedsNoLookup) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().Stall()));
  auto socket = SocketTo("127.0.0.1", server.Port());
  socket->ReportLevel = 8;
  socket->TimeOut = 5000;
  StatusLog log;
  log.Attach(*socket);
  int resolved = 0, connected = 0;
  socket->OnHostResolved = [&](TComponent*) { ++resolved; };
  socket->OnConnect = [&](TObject*) { ++connected; };
  socket->Connect();
  EXPECT_TRUE(socket->IsConnected());
  EXPECT_EQ(resolved, 0);
  EXPECT_EQ(connected, 1);
  // The one timer armed is the connect's own.
  EXPECT_EQ(std::count(log.texts.begin(), log.texts.end(), "Timer On"), 1);
  EXPECT_EQ(log.texts.front(), "Connecting");
  EXPECT_TRUE(server.WaitForConnections(1, 5000ms));
  EXPECT_THROW_MSG(socket->Connect(), ESockError, "Already connected");
  socket->Disconnect();
  EXPECT_FALSE(socket->IsConnected());
}

TEST(PowersockConnect, LooksUpANameAndConnectsToIt) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().Stall()));
  auto socket = SocketTo("localhost", server.Port());
  socket->TimeOut = 30000;
  int resolved = 0;
  socket->OnHostResolved = [&](TComponent*) { ++resolved; };
  socket->Connect();
  EXPECT_EQ(resolved, 1);
  EXPECT_EQ(socket->RemoteAddress.sin_addr.s_addr, inet_addr("127.0.0.1"));
  EXPECT_TRUE(socket->IsConnected());
}

TEST(PowersockConnect, ProxyIsUsedInsteadOfHostAndPort) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().Stall()));
  auto socket = SocketTo("no-such-host.invalid", 1);
  socket->Proxy = "127.0.0.1";
  socket->ProxyPort = server.Port();
  socket->Connect();
  EXPECT_TRUE(server.WaitForConnections(1, 5000ms));
}

TEST(PowersockConnect, UnresolvableNameGivesNullRemoteAddressWithOneRetry) {
  auto socket = SocketTo("no-such-host.invalid", 80);
  socket->TimeOut = 30000;
  EXPECT_THROW_MSG(socket->Connect(), ESockError, "Null Remote Address");

  int asked = 0;
  socket->OnInvalidHost = [&](bool& handled) {
    ++asked;
    handled = true;
  };
  EXPECT_THROW_MSG(socket->Connect(), ESockError, "Null Remote Address");
  EXPECT_EQ(asked, 1);

  // Four zeros are an address of 0 without any lookup.
  socket->Host = "0.0.0.0";
  socket->OnInvalidHost = [&](bool&) { ++asked; };
  EXPECT_THROW_MSG(socket->Connect(), ESockError, "Null Remote Address");
  EXPECT_EQ(asked, 2);
}

TEST(PowersockConnect, InvalidHostHandlerMaySupplyAnotherHost) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().Stall()));
  auto socket = SocketTo("no-such-host.invalid", server.Port());
  socket->TimeOut = 30000;
  socket->OnInvalidHost = [&](bool& handled) {
    socket->Host = "127.0.0.1";
    handled = true;
  };
  socket->Connect();
  EXPECT_TRUE(socket->IsConnected());
}

// A loopback port on which nothing listens.
std::uint16_t RefusingPort() {
  ScriptedServer closed(ConnectionPlan::Repeating(Script().Close()));
  return closed.Port();
}

TEST(PowersockConnect, RefusedConnectFailsAfterTheEvent) {
  auto socket = SocketTo("127.0.0.1", RefusingPort());
  bool failedFirst = false;
  socket->OnConnectionFailed = [&](TObject*) { failedFirst = true; };
  EXPECT_THROW_MSG(socket->Connect(), ESockError, "Connection Failed");
  EXPECT_TRUE(failedFirst);
  EXPECT_FALSE(socket->IsConnected());
}

// A listener that never accepts, with its backlog filled, leaves a connect pending.
struct PendingListener {
  ScriptedServer server{ConnectionPlan::NeverAccept(1)};
  std::vector<vrk_test::sockets::Socket> fillers;
  PendingListener() {
    for (int i = 0; i < 4; ++i) fillers.push_back(vrk_test::sockets::StartConnectLoopback(server.Port()));
    PumpFor(100ms);
  }
  ~PendingListener() {
    for (auto s : fillers) vrk_test::sockets::Close(s);
  }
};

// A connect that failed leaves a fresh socket behind: the same component, with no
// Disconnect between, connects to a peer that listens.
TEST(PowersockConnect, ConnectsAgainAfterARefusalOrATimeOut) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().ReceiveUntil("ping").Send("pong").Stall()));
  PendingListener pending;
  const std::vector<std::pair<std::uint16_t, const char*>> failures = {
      {RefusingPort(), "Connection Failed"}, {pending.server.Port(), "Connection Timed out"}};
  for (std::size_t i = 0; i < failures.size(); ++i) {
    SCOPED_TRACE(failures[i].second);
    auto socket = SocketTo("127.0.0.1", failures[i].first);
    socket->TimeOut = 300;
    EXPECT_THROW_MSG(socket->Connect(), ESockError, failures[i].second);
    socket->Port = server.Port();
    socket->TimeOut = 5000;
    EXPECT_NO_THROW(socket->Connect());
    ASSERT_TRUE(socket->IsConnected());
    socket->Write("ping");
    Text reply;
    socket->CaptureString(reply, 4);
    EXPECT_EQ(reply, "pong");
    EXPECT_EQ(server.Received(i), "ping");
  }
}

TEST(PowersockConnect, TimesOutAgainstAListenerThatNeverAnswers) {
  PendingListener listener;
  auto socket = SocketTo("127.0.0.1", listener.server.Port());
  socket->TimeOut = 300;
  bool failed = false;
  socket->OnConnectionFailed = [&](TObject*) { failed = true; };
  const auto start = Clock::now();
  EXPECT_THROW_MSG(socket->Connect(), ESockError, "Connection Timed out");
  const auto took = Clock::now() - start;
  EXPECT_TRUE(failed);
  EXPECT_TRUE(socket->TimedOut);
  EXPECT_TRUE(socket->CancelRequested);  // the next Connect clears it
  EXPECT_GE(took, 250ms);
  EXPECT_LT(took, 5s);
}

TEST(PowersockConnect, CancelFromAHandlerEndsTheWait) {
  PendingListener listener;
  auto socket = SocketTo("127.0.0.1", listener.server.Port());
  socket->Cancel();  // cleared by Connect: no effect
  auto canceler = std::make_unique<TThreadTimer>(nullptr);
  canceler->SetInterval(150);
  canceler->SetOnTimer([&](TObject*) {
    canceler->SetEnabled(false);
    socket->Cancel();
  });
  EXPECT_THROW_MSG(socket->Connect(), ESockError, "Connection Canceled");
  EXPECT_FALSE(socket->TimedOut);
}

TEST(PowersockNotifications, CloseWithoutUnreadDataClosesAndOpensAFreshSocket) {
  // The second connection stays open, so that it is still connected when Connect returns.
  ScriptedServer server(ConnectionPlan::Sequence({Script().Close(), Script().Pause(5s).Close()}));
  auto socket = SocketTo("127.0.0.1", server.Port());
  int disconnects = 0;
  socket->OnDisconnect = [&](TObject*) { ++disconnects; };
  socket->Connect();
  EXPECT_TRUE(PumpUntil([&] { return disconnects > 0; }, 5s));
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(socket->IsConnected());
  EXPECT_NE(socket->SocketHandle, TPowersock::kNoSocket);
  // Ready for the next connection.
  socket->Connect();
  EXPECT_TRUE(socket->IsConnected());
}

TEST(PowersockConnect, PeerClosingRightAfterTheConnectDoesNotLeaveTheWaitHanging) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().Close()));
  auto socket = SocketTo("127.0.0.1", server.Port());
  socket->ReportLevel = 8;
  // Held before the first pump, the connect and the close arrive in one pump.
  socket->OnStatus = [&](TComponent*, const Text& status) {
    if (status == "Timer On") server.WaitForEnd(0, 5000ms);
  };
  int disconnects = 0;
  socket->OnDisconnect = [&](TObject*) { ++disconnects; };
  auto guard = std::make_unique<TThreadTimer>(nullptr);
  guard->SetInterval(5000);
  guard->SetOnTimer([&](TObject*) { socket->Cancel(); });
  socket->Connect();
  EXPECT_EQ(disconnects, 1);
  EXPECT_FALSE(socket->IsConnected());
  Text line;
  socket->ReadLn(line);
  EXPECT_EQ(line, "");
}

TEST(PowersockNotifications, CloseWithUnreadDataLeavesTheSocketToTheReader) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().Send("unread").Close()));
  auto socket = SocketTo("127.0.0.1", server.Port());
  int disconnects = 0, ready = 0;
  socket->OnDisconnect = [&](TObject*) { ++disconnects; };
  socket->OnDataReady = [&](TObject*) { ++ready; };
  socket->Connect();
  EXPECT_TRUE(server.WaitForEnd(0, 5000ms));
  PumpFor(200ms);
  EXPECT_EQ(disconnects, 0);
  EXPECT_GE(ready, 1);
  EXPECT_TRUE(socket->IsConnected());
  EXPECT_TRUE(socket->DataAvailable());
  Text data;
  socket->CaptureString(data, -1);
  EXPECT_EQ(data, "unread");
}

TEST(PowersockNotifications, StaleEventsOfAnotherSocketAreIgnored) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().Stall()));
  auto socket = SocketTo("127.0.0.1", server.Port());
  socket->Connect();
  TNotificationMessage close{kSocketEventMessage, static_cast<WPARAM>(socket->SocketHandle + 4u),
                             WSAMAKESELECTREPLY(FD_CLOSE, 0), 0};
  socket->HandleNotification(close);
  EXPECT_TRUE(socket->IsConnected());
}

// Connect, one transaction and disconnect; returns the texts reported.
std::set<std::string> StatusesAtLevel(int level, Text* statusText) {
  ScriptedServer server(
      ConnectionPlan::Repeating(Script().ReceiveUntil("\r\n").Send("200 Fine\r\n").Stall()));
  auto socket = SocketTo("127.0.0.1", server.Port());
  socket->ReportLevel = level;
  StatusLog log;
  log.Attach(*socket);
  socket->Connect();
  Text reply;
  socket->Transaction("HELLO", reply);
  socket->Disconnect();
  *statusText = socket->StatusText;
  return {log.texts.begin(), log.texts.end()};
}

TEST(PowersockStatus, LevelsGateTheTexts) {
  Text statusText;
  EXPECT_TRUE(StatusesAtLevel(0, &statusText).empty());
  EXPECT_EQ(statusText, "");

  EXPECT_EQ(StatusesAtLevel(1, &statusText), (std::set<std::string>{"200 Fine\r\n"}));
  EXPECT_EQ(statusText, "200 Fine\r\n");

  EXPECT_EQ(StatusesAtLevel(4, &statusText),
            (std::set<std::string>{"200 Fine\r\n", "Sending Buffer", "Request Close Socket"}));

  const std::set<std::string> all = StatusesAtLevel(8, &statusText);
  for (const char* text : {"Connecting", "Resolve Host", "Timer On", "Timer Off", "Transaction",
                           "Writeln", "Write", "Sending Buffer", "ReadLn", "200 Fine\r\n",
                           "Disconnecting", "Request Close Socket"}) {
    EXPECT_TRUE(all.count(text)) << text;
  }
  EXPECT_EQ(statusText, "Request Close Socket");
}

TEST(PowersockLifetime, DestructionFiresNeitherStatusNorDisconnect) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().Stall()));
  auto socket = SocketTo("127.0.0.1", server.Port());
  socket->ReportLevel = 8;
  socket->Connect();
  int statuses = 0, disconnects = 0;
  socket->OnStatus = [&](TComponent*, const Text&) { ++statuses; };
  socket->OnDisconnect = [&](TObject*) { ++disconnects; };
  socket.reset();
  EXPECT_EQ(statuses, 0);
  EXPECT_EQ(disconnects, 0);
  // The connection was dropped, not left open.
  EXPECT_TRUE(server.WaitForPeerClose(0, 5000ms));
}

TEST(PowersockLifetime, OwnerFreesTheComponentAndItsTimer) {
  auto owner = std::make_unique<TComponent>(nullptr);
  auto* socket = new TSocketProbe(owner.get());
  EXPECT_EQ(owner->ComponentCount(), 1);
  EXPECT_EQ(socket->ComponentCount(), 1);  // its timer
  owner.reset();
  EXPECT_EQ(TPowersock::WinsockUserCount(), 0);
}

}  // namespace
}  // namespace vrk
