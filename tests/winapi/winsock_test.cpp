// Windows Sockets 1.1 subset: start-up, blocking and asynchronous sockets, event
// re-enabling, name lookups and waking a waiting message pump. Written against
// Winsock's behaviour so that the same tests hold on Windows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/winapi.h"
#include "tests/support/host.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using vrk_test::ConnectionPlan;
using vrk_test::Script;
using vrk_test::ScriptedServer;

constexpr UINT kSocketMessage = 1125;
constexpr UINT kLookupMessage = 1126;
constexpr auto kEventWait = 5000ms;
// Generous for a slow resolver, but bounded.
constexpr auto kLookupWait = 30000ms;

struct Event {
  SOCKET socket;
  WORD event;
  WORD error;
};

HWND MakeWindow() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "WinsockTest";
  RegisterClassA(&windowClass);  // a second registration fails harmlessly
  return CreateWindowExA(0, "WinsockTest", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                         nullptr);
}

// The next message of that number for the window, waiting without spinning.
std::optional<MSG> NextMessage(HWND window, UINT message, std::chrono::milliseconds timeout) {
  auto deadline = Clock::now() + timeout;
  MSG msg;
  for (;;) {
    if (PeekMessageA(&msg, window, message, message, PM_REMOVE)) return msg;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
  }
}

std::optional<Event> NextEvent(HWND window, std::chrono::milliseconds timeout = kEventWait) {
  std::optional<MSG> msg = NextMessage(window, kSocketMessage, timeout);
  if (!msg) return std::nullopt;
  return Event{static_cast<SOCKET>(msg->wParam), WSAGETSELECTEVENT(msg->lParam),
               WSAGETSELECTERROR(msg->lParam)};
}

sockaddr_in Loopback(u_short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  return address;
}

class WinsockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WSAStartup(0x0101, &data_), 0);
    window_ = MakeWindow();
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    for (SOCKET s : sockets_) closesocket(s);
    DestroyWindow(window_);
    WSACleanup();
  }

  SOCKET NewSocket() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    EXPECT_NE(s, INVALID_SOCKET);
    sockets_.push_back(s);
    return s;
  }

  // A socket selected for every event, connecting to the port on loopback.
  SOCKET ConnectAsync(u_short port, long events = FD_READ | FD_WRITE | FD_OOB | FD_CONNECT | FD_CLOSE) {
    SOCKET s = NewSocket();
    EXPECT_EQ(WSAAsyncSelect(s, window_, kSocketMessage, events), 0);
    sockaddr_in to = Loopback(port);
    int result = connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
    EXPECT_EQ(result, SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    return s;
  }

  // Connected, with FD_CONNECT and FD_WRITE taken off the queue.
  SOCKET Connected(u_short port) {
    SOCKET s = ConnectAsync(port);
    ExpectEvent(s, FD_CONNECT, 0);
    ExpectEvent(s, FD_WRITE, 0);
    return s;
  }

  SOCKET Listening(u_short* port) {
    SOCKET s = NewSocket();
    sockaddr_in at = Loopback(0);
    EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    EXPECT_EQ(listen(s, 5), 0);
    int length = sizeof at;
    EXPECT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&at), &length), 0);
    *port = ntohs(at.sin_port);
    return s;
  }

  void ExpectEvent(SOCKET s, WORD event, WORD error) {
    std::optional<Event> got = NextEvent(window_);
    ASSERT_TRUE(got.has_value()) << "no event " << event;
    EXPECT_EQ(got->socket, s);
    EXPECT_EQ(got->event, event);
    EXPECT_EQ(got->error, error);
  }

  void ExpectNoEvent(std::chrono::milliseconds quiet = 200ms) {
    std::optional<Event> got = NextEvent(window_, quiet);
    EXPECT_FALSE(got.has_value()) << "unexpected event " << got->event << " error " << got->error;
  }

  WSADATA data_{};
  HWND window_ = nullptr;
  std::vector<SOCKET> sockets_;
};

TEST(WinsockStartup, FillsTheDataAndCountsUsers) {
  EXPECT_EQ(socket(AF_INET, SOCK_STREAM, 0), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);

  WSADATA data{};
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  EXPECT_EQ(data.wVersion, 0x0101);
  EXPECT_GE(data.wHighVersion, 0x0101);
  EXPECT_GT(std::strlen(data.szDescription), 0u);
  EXPECT_GT(data.iMaxSockets, 0);
  WSADATA second{};
  ASSERT_EQ(WSAStartup(0x0101, &second), 0);
  EXPECT_EQ(WSACleanup(), 0);
  // One user is left, so sockets still work.
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_NE(s, INVALID_SOCKET);
  closesocket(s);
  EXPECT_EQ(WSACleanup(), 0);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
#ifndef _WIN32
  // The emulation's own figures.
  EXPECT_STREQ(data.szSystemStatus, "Running");
  EXPECT_EQ(data.wHighVersion, 0x0101);
#endif
}

TEST(WinsockAddresses, ConvertDottedTextAndByteOrder) {
  EXPECT_EQ(inet_addr("127.0.0.1"), htonl(0x7f000001));
  EXPECT_EQ(inet_addr("0.0.0.0"), 0u);
  EXPECT_EQ(inet_addr("1.2.3"), htonl(0x01020003));
  EXPECT_EQ(inet_addr("0x7f.1"), htonl(0x7f000001));
  EXPECT_EQ(inet_addr("256.1.1.1"), INADDR_NONE);
  EXPECT_EQ(inet_addr("1.2.3.4.5"), INADDR_NONE);
  EXPECT_EQ(inet_addr("example.com"), INADDR_NONE);
  EXPECT_EQ(ntohs(htons(0x1234)), 0x1234);
  in_addr address;
  address.s_addr = inet_addr("10.20.30.40");
  EXPECT_STREQ(inet_ntoa(address), "10.20.30.40");
}

TEST_F(WinsockTest, AsyncConnectAnnouncesConnectThenWriteOnlyOnce) {
  ScriptedServer server(ConnectionPlan::Sequence({Script().ReceiveUntil("ping").Send("pong").Stall()}));
  SOCKET s = Connected(server.Port());
  ASSERT_EQ(send(s, "ping", 4, 0), 4);
  ExpectEvent(s, FD_READ, 0);
  char buffer[16];
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 4);
  EXPECT_EQ(std::string(buffer, 4), "pong");
  // A send that did not block earns no second FD_WRITE; all data read, no FD_READ.
  ExpectNoEvent();
}

TEST_F(WinsockTest, ReadEventComesAgainOnlyAfterRecvAndOnlyWhileDataRemains) {
  ScriptedServer server(ConnectionPlan::Sequence({Script().Send("hello world").Stall()}));
  SOCKET s = Connected(server.Port());
  ExpectEvent(s, FD_READ, 0);
  ExpectNoEvent();  // not re-enabled until recv

  char buffer[16];
  EXPECT_EQ(recv(s, buffer, 5, MSG_PEEK), 5);
  EXPECT_EQ(std::string(buffer, 5), "hello");
  ExpectEvent(s, FD_READ, 0);  // peeking is a recv: it re-enables, and data remains

  EXPECT_EQ(recv(s, buffer, 6, 0), 6);
  EXPECT_EQ(std::string(buffer, 6), "hello ");
  ExpectEvent(s, FD_READ, 0);
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 5);
  EXPECT_EQ(std::string(buffer, 5), "world");
  ExpectNoEvent();

  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
}

TEST_F(WinsockTest, GracefulCloseComesAfterTheDataWithNoError) {
  ScriptedServer server(ConnectionPlan::Sequence({Script().Send("bye").Close()}));
  SOCKET s = Connected(server.Port());
  ExpectEvent(s, FD_READ, 0);
  char buffer[8];
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 3);
  ExpectEvent(s, FD_CLOSE, 0);
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), 0);
  ExpectNoEvent();  // FD_CLOSE comes once
}

TEST_F(WinsockTest, ResetByThePeerClosesWithAnError) {
  if (vrk_test::RunningUnderWine()) GTEST_SKIP() << "Wine reports a reset by the peer as a graceful close";
  ScriptedServer server(ConnectionPlan::Sequence({Script().Pause(100ms).Reset()}));
  SOCKET s = Connected(server.Port());
  std::optional<Event> closed = NextEvent(window_);
  ASSERT_TRUE(closed.has_value());
  EXPECT_EQ(closed->event, FD_CLOSE);
  EXPECT_TRUE(closed->error == WSAECONNRESET || closed->error == WSAECONNABORTED) << closed->error;
  char buffer[8];
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), closed->error);
}

TEST_F(WinsockTest, RefusedConnectArrivesAsConnectEventWithTheError) {
  u_short port = 0;
  SOCKET listener = Listening(&port);
  closesocket(listener);
  SOCKET s = ConnectAsync(port);
  ExpectEvent(s, FD_CONNECT, WSAECONNREFUSED);
  ExpectNoEvent();  // no FD_WRITE and no FD_CLOSE for a connect that failed
}

TEST_F(WinsockTest, CallsOnSocketsInTheWrongStateFail) {
  if (vrk_test::RunningUnderWine()) GTEST_SKIP() << "Wine gives other error codes for calls on unconnected sockets";
  SOCKET s = NewSocket();
  char buffer[4];
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
  EXPECT_EQ(send(s, "x", 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
  EXPECT_EQ(accept(s, nullptr, nullptr), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAEINVAL);

  sockaddr_in nowhere = Loopback(0);
  EXPECT_EQ(connect(s, reinterpret_cast<sockaddr*>(&nowhere), sizeof nowhere), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEADDRNOTAVAIL);

  EXPECT_EQ(closesocket(s), 0);
  sockets_.clear();
  EXPECT_EQ(closesocket(s), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(recv(s, buffer, sizeof buffer, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST_F(WinsockTest, WriteEventReturnsAfterASendThatWouldBlock) {
  ScriptedServer server(ConnectionPlan::Sequence(
      {Script().StopReading().Pause(500ms).ResumeReading().Stall()}));
  SOCKET s = NewSocket();
  int small = 8192;
  ASSERT_EQ(setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&small), sizeof small), 0);
  ASSERT_EQ(WSAAsyncSelect(s, window_, kSocketMessage, FD_CONNECT | FD_WRITE), 0);
  sockaddr_in to = Loopback(server.Port());
  connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to);
  ExpectEvent(s, FD_CONNECT, 0);
  ExpectEvent(s, FD_WRITE, 0);

  std::vector<char> chunk(65536, 'x');
  bool blocked = false;
  for (int i = 0; i < 2000 && !blocked; ++i) {
    int sent = send(s, chunk.data(), static_cast<int>(chunk.size()), 0);
    if (sent == SOCKET_ERROR) {
      ASSERT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
      blocked = true;
    } else {
      EXPECT_GT(sent, 0);
    }
  }
  ASSERT_TRUE(blocked);
  ExpectEvent(s, FD_WRITE, 0);  // once the server reads again
}

TEST_F(WinsockTest, AcceptEventIsReenabledByAcceptAndTheNewSocketInheritsTheSelection) {
  u_short port = 0;
  SOCKET listener = Listening(&port);
  ASSERT_EQ(WSAAsyncSelect(listener, window_, kSocketMessage, FD_ACCEPT | FD_READ | FD_WRITE), 0);
  sockaddr_in to = Loopback(port);
  SOCKET first = NewSocket();
  SOCKET second = NewSocket();
  ASSERT_EQ(connect(first, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);  // blocking
  ASSERT_EQ(connect(second, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);

  ExpectEvent(listener, FD_ACCEPT, 0);
  ExpectNoEvent();  // two are waiting, but one event until accept
  sockaddr_in peer{};
  int length = sizeof peer;
  SOCKET accepted = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
  ASSERT_NE(accepted, INVALID_SOCKET);
  sockets_.push_back(accepted);
  EXPECT_EQ(length, static_cast<int>(sizeof peer));
  EXPECT_EQ(peer.sin_addr.s_addr, inet_addr("127.0.0.1"));

  // The accepted socket announces it can send; the listener its next connection.
  bool acceptedWritable = false;
  bool nextAccept = false;
  for (int i = 0; i < 2; ++i) {
    std::optional<Event> got = NextEvent(window_);
    ASSERT_TRUE(got.has_value());
    acceptedWritable = acceptedWritable || (got->socket == accepted && got->event == FD_WRITE);
    nextAccept = nextAccept || (got->socket == listener && got->event == FD_ACCEPT);
  }
  EXPECT_TRUE(acceptedWritable);
  EXPECT_TRUE(nextAccept);
  ASSERT_EQ(send(first, "data", 4, 0), 4);
  ExpectEvent(accepted, FD_READ, 0);
  char buffer[8];
  EXPECT_EQ(recv(accepted, buffer, sizeof buffer, 0), 4);
}

TEST_F(WinsockTest, LingerOfZeroMakesCloseAReset) {
  if (vrk_test::RunningUnderWine()) GTEST_SKIP() << "Wine reports a reset by the peer as a graceful close";
  u_short port = 0;
  SOCKET listener = Listening(&port);
  SOCKET client = NewSocket();
  sockaddr_in to = Loopback(port);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  SOCKET server = accept(listener, nullptr, nullptr);
  ASSERT_NE(server, INVALID_SOCKET);
  linger abortive{1, 0};
  ASSERT_EQ(setsockopt(server, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
                       sizeof abortive),
            0);
  ASSERT_EQ(closesocket(server), 0);
  char buffer[4];
  EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), SOCKET_ERROR);  // blocking: the reset is there
  EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
}

TEST_F(WinsockTest, ClosedSocketGetsNoFurtherEvents) {
  ScriptedServer server(ConnectionPlan::Sequence({Script().Pause(150ms).Send("late").Close()}));
  SOCKET s = Connected(server.Port());
  ASSERT_EQ(closesocket(s), 0);
  sockets_.clear();
  ASSERT_TRUE(server.WaitForEnd(0, 5000ms));
  ExpectNoEvent(300ms);
}

TEST_F(WinsockTest, SocketEventWakesAWaitingPumpAtOnce) {
  ScriptedServer server(
      ConnectionPlan::Sequence({Script().Pause(300ms).Send("x").Pause(300ms).Close()}));
  SOCKET s = Connected(server.Port());
  auto start = Clock::now();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 10000, QS_ALLINPUT),
            static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_LT(Clock::now() - start, 3000ms);
  ExpectEvent(s, FD_READ, 0);

  // GetMessageA too; a far timer only keeps a broken wake-up from hanging the test.
  char buffer[4];
  recv(s, buffer, sizeof buffer, 0);
  SetTimer(window_, 1, 10000, nullptr);
  start = Clock::now();
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, window_, 0, 0));
  KillTimer(window_, 1);
  EXPECT_EQ(msg.message, kSocketMessage);
  EXPECT_EQ(WSAGETSELECTEVENT(msg.lParam), FD_CLOSE);
  EXPECT_LT(Clock::now() - start, 3000ms);
}

TEST_F(WinsockTest, LookupOfLocalhostLaysOutTheEntryInTheCallersBuffer) {
  std::vector<char> buffer(MAXGETHOSTSTRUCT);
  HANDLE task = WSAAsyncGetHostByName(window_, kLookupMessage, "localhost", buffer.data(),
                                      static_cast<int>(buffer.size()));
  ASSERT_NE(task, nullptr);
  auto start = Clock::now();
  // The reply wakes the waiting thread itself; no socket or timer is involved.
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 30000, QS_ALLINPUT),
            static_cast<DWORD>(WAIT_OBJECT_0));
  std::optional<MSG> reply = NextMessage(window_, kLookupMessage, kLookupWait);
  ASSERT_TRUE(reply.has_value());
  EXPECT_LT(Clock::now() - start, kLookupWait);
  EXPECT_EQ(reply->wParam, reinterpret_cast<WPARAM>(task));
  ASSERT_EQ(WSAGETASYNCERROR(reply->lParam), 0);
  int used = WSAGETASYNCBUFLEN(reply->lParam);
  EXPECT_GT(used, static_cast<int>(sizeof(hostent)));
  EXPECT_LE(used, MAXGETHOSTSTRUCT);

  auto* entry = reinterpret_cast<hostent*>(buffer.data());
  const char* begin = buffer.data();
  const char* end = begin + buffer.size();
  auto inside = [&](const void* p) {
    return static_cast<const char*>(p) >= begin && static_cast<const char*>(p) < end;
  };
  EXPECT_EQ(entry->h_addrtype, AF_INET);
  EXPECT_EQ(entry->h_length, 4);
  ASSERT_TRUE(inside(entry->h_name));
  ASSERT_TRUE(inside(entry->h_aliases));
  ASSERT_TRUE(inside(entry->h_addr_list));
  bool loopback = false;
  for (char** address = entry->h_addr_list; *address != nullptr; ++address) {
    ASSERT_TRUE(inside(*address));
    in_addr value;
    std::memcpy(&value, *address, 4);
    loopback = loopback || value.s_addr == inet_addr("127.0.0.1");
  }
  EXPECT_TRUE(loopback);
}

TEST_F(WinsockTest, LookupOfTheEmptyNameGivesThisMachine) {
  char buffer[MAXGETHOSTSTRUCT];
  HANDLE task = WSAAsyncGetHostByName(window_, kLookupMessage, "", buffer, sizeof buffer);
  ASSERT_NE(task, nullptr);
  std::optional<MSG> reply = NextMessage(window_, kLookupMessage, kLookupWait);
  ASSERT_TRUE(reply.has_value());
  ASSERT_EQ(WSAGETASYNCERROR(reply->lParam), 0);
  const auto* entry = reinterpret_cast<const hostent*>(buffer);
  ASSERT_NE(entry->h_addr_list, nullptr);
  EXPECT_NE(entry->h_addr_list[0], nullptr);
}

TEST_F(WinsockTest, LookupOfAnInvalidNameRepliesHostNotFound) {
  char buffer[MAXGETHOSTSTRUCT];
  HANDLE task = WSAAsyncGetHostByName(window_, kLookupMessage, "no-such-host.invalid", buffer,
                                      sizeof buffer);
  ASSERT_NE(task, nullptr);
  std::optional<MSG> reply = NextMessage(window_, kLookupMessage, kLookupWait);
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->wParam, reinterpret_cast<WPARAM>(task));
  EXPECT_EQ(WSAGETASYNCERROR(reply->lParam), WSAHOST_NOT_FOUND);
}

TEST_F(WinsockTest, LookupIntoTooSmallABufferTellsTheLengthNeeded) {
  std::vector<char> buffer(16, '#');
  HANDLE task = WSAAsyncGetHostByName(window_, kLookupMessage, "localhost", buffer.data(),
                                      static_cast<int>(buffer.size()));
  ASSERT_NE(task, nullptr);
  std::optional<MSG> reply = NextMessage(window_, kLookupMessage, kLookupWait);
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(WSAGETASYNCERROR(reply->lParam), WSAENOBUFS);
  EXPECT_GT(WSAGETASYNCBUFLEN(reply->lParam), buffer.size());
  EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(16, '#'));
}

TEST_F(WinsockTest, CanceledLookupNeitherWritesTheBufferNorReplies) {
  if (vrk_test::RunningUnderWine()) GTEST_SKIP() << "Wine still fills the buffer and replies after a successful cancel";
  std::vector<char> buffer(MAXGETHOSTSTRUCT, '#');
  HANDLE task = WSAAsyncGetHostByName(window_, kLookupMessage, "localhost", buffer.data(),
                                      static_cast<int>(buffer.size()));
  ASSERT_NE(task, nullptr);
  if (WSACancelAsyncRequest(task) == 0) {
    EXPECT_FALSE(NextMessage(window_, kLookupMessage, 500ms).has_value());
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(buffer.size(), '#'));
  } else {
    // The lookup won the race: it completed, and its reply is on the way.
    EXPECT_EQ(WSAGetLastError(), WSAEALREADY);
    EXPECT_TRUE(NextMessage(window_, kLookupMessage, kLookupWait).has_value());
  }
  EXPECT_EQ(WSACancelAsyncRequest(task), SOCKET_ERROR);
}

#ifndef _WIN32
// Handles stay within 16 bits and are not reused at once, so a late message cannot
// name the socket that replaced a closed one (the emulation's own guarantee).
TEST_F(WinsockTest, HandlesFitSixteenBitsAndAreNotReusedAtOnce) {
  SOCKET first = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_NE(first, INVALID_SOCKET);
  closesocket(first);
  SOCKET second = NewSocket();
  EXPECT_NE(second, first);
  EXPECT_LE(second, 0xFFFFu);
}
#endif

}  // namespace
