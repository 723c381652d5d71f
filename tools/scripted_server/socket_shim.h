// The few socket calls the test peers make, the same on POSIX sockets and Windows Sockets.
// No system socket header leaks out of here, so callers may also include the Win32 subset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vrk_test::sockets {

// Wide enough for a POSIX descriptor and a Windows SOCKET; kNone is both platforms' "invalid".
using Socket = std::intptr_t;
inline constexpr Socket kNone = -1;

enum class Error { kNone, kWouldBlock, kInterrupted, kReset, kOther };

// What one send or receive did: `count` bytes moved (0 from Receive: the peer closed), or
// count -1 with the reason.
struct Transfer {
  std::ptrdiff_t count = 0;
  Error error = Error::kNone;
  int code = 0;  // the platform's error number, for messages
};

// The platform's description of an error number from Transfer::code or LastErrorCode().
std::string ErrorText(int code);
int LastErrorCode();

// A non-blocking TCP socket listening on 127.0.0.1 (port 0: an ephemeral one). Throws
// std::system_error when it cannot; `boundPort` gets the port actually used.
Socket ListenLoopback(std::uint16_t port, int backlog, std::uint16_t& boundPort);
// A non-blocking socket for a connection waiting on the listener, or kNone with the error.
Socket Accept(Socket listener, Error& error);
// A connected non-blocking socket to 127.0.0.1, or kNone when the connect fails.
Socket ConnectLoopback(std::uint16_t port);
// A non-blocking socket whose connect to 127.0.0.1 has only been started.
Socket StartConnectLoopback(std::uint16_t port);
// Two connected sockets, for waking a waiter: what is written to one makes the other readable.
// Throws std::system_error when it cannot.
void MakePair(Socket pair[2]);

Transfer Send(Socket socket, const char* data, std::size_t size);
Transfer Receive(Socket socket, char* buffer, std::size_t size);
void ShutdownSend(Socket socket);
void SetNoDelay(Socket socket);
// The next Close aborts the connection with RST instead of ending it with FIN.
void AbortOnClose(Socket socket);
void Close(Socket socket);

struct Watch {
  Socket socket = kNone;  // kNone: ignored
  bool read = false;
  bool write = false;
  // Set by Wait: readable (data, end of stream or error) and writable (or failed).
  bool readable = false;
  bool writable = false;
};
// Waits until a watched socket is ready or the time (-1: forever) is over. Returns the number
// of ready sockets, 0 on time-out or when a signal interrupted the wait, -1 when it failed.
int Wait(Watch* watches, std::size_t count, int timeoutMs);

}  // namespace vrk_test::sockets
