// Emulation of the Windows Sockets 1.1 subset (declarations).
// Types, layouts and values are those of 32-bit Windows, not of the POSIX headers, so
// this file must never meet <sys/socket.h> or <netinet/in.h> in one translation unit.
// Everything lives in a namespace made visible at the end, so the POSIX names of the
// same spelling stay distinct symbols.
#pragma once

#include "platform/posix/win32_types.h"

// A translation unit that already speaks POSIX sockets (a library header may bring them)
// gets no Winsock names: the two sets cannot meet. Such a unit must not use Winsock.
#if !defined(_SYS_SOCKET_H) && !defined(_NETINET_IN_H) && !defined(_NETDB_H)
#define VRK_WINSOCK_DECLARED 1

namespace vrk_winsock {

using u_char = unsigned char;
using u_short = std::uint16_t;
using u_int = unsigned int;
using u_long = std::uint32_t;  // 32 bits, as on Windows
using SOCKET = UINT_PTR;

constexpr SOCKET INVALID_SOCKET = static_cast<SOCKET>(~static_cast<SOCKET>(0));
constexpr int SOCKET_ERROR = -1;

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};
using LPWSADATA = WSADATA*;

struct in_addr {
  union {
    struct {
      u_char s_b1, s_b2, s_b3, s_b4;
    } S_un_b;
    struct {
      u_short s_w1, s_w2;
    } S_un_w;
    u_long S_addr;
  } S_un;
};
#define s_addr S_un.S_addr

struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  u_short sin_port;
  in_addr sin_addr;
  char sin_zero[8];
};

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;
};
#define h_addr h_addr_list[0]

struct linger {
  u_short l_onoff;
  u_short l_linger;
};

using LPSOCKADDR = sockaddr*;
using LPHOSTENT = hostent*;

// Address families, socket types, protocols.
constexpr int AF_UNSPEC = 0;
constexpr int AF_INET = 2;
constexpr int PF_INET = AF_INET;
constexpr int SOCK_STREAM = 1;
constexpr int SOCK_DGRAM = 2;
constexpr int IPPROTO_IP = 0;
constexpr int IPPROTO_TCP = 6;
constexpr int IPPROTO_UDP = 17;

constexpr u_long INADDR_ANY = 0x00000000u;
constexpr u_long INADDR_LOOPBACK = 0x7f000001u;
constexpr u_long INADDR_BROADCAST = 0xffffffffu;
constexpr u_long INADDR_NONE = 0xffffffffu;

// Options.
constexpr int SOL_SOCKET = 0xffff;
constexpr int SO_DEBUG = 0x0001;
constexpr int SO_ACCEPTCONN = 0x0002;
constexpr int SO_REUSEADDR = 0x0004;
constexpr int SO_KEEPALIVE = 0x0008;
constexpr int SO_DONTROUTE = 0x0010;
constexpr int SO_BROADCAST = 0x0020;
constexpr int SO_LINGER = 0x0080;
constexpr int SO_OOBINLINE = 0x0100;
constexpr int SO_DONTLINGER = static_cast<int>(~SO_LINGER);
constexpr int SO_SNDBUF = 0x1001;
constexpr int SO_RCVBUF = 0x1002;
constexpr int SO_ERROR = 0x1007;
constexpr int SO_TYPE = 0x1008;
constexpr int TCP_NODELAY = 0x0001;

// Flags of send and recv.
constexpr int MSG_OOB = 0x1;
constexpr int MSG_PEEK = 0x2;
constexpr int MSG_DONTROUTE = 0x4;

// shutdown.
constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

// ioctlsocket commands.
constexpr LONG FIONREAD = static_cast<LONG>(0x4004667Fu);
constexpr LONG FIONBIO = static_cast<LONG>(0x8004667Eu);

// WSAAsyncSelect events.
constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_OOB = 0x04;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;

constexpr int MAXGETHOSTSTRUCT = 1024;

// The second parameter of the notification messages: low word event (or buffer
// length), high word error.
constexpr LPARAM WSAMAKEASYNCREPLY(unsigned bufferLength, unsigned error) {
  return static_cast<LPARAM>(static_cast<DWORD>(((error & 0xffffu) << 16) | (bufferLength & 0xffffu)));
}
constexpr LPARAM WSAMAKESELECTREPLY(unsigned event, unsigned error) {
  return WSAMAKEASYNCREPLY(event, error);
}
constexpr WORD WSAGETASYNCBUFLEN(LPARAM lParam) { return static_cast<WORD>(lParam & 0xffff); }
constexpr WORD WSAGETASYNCERROR(LPARAM lParam) { return static_cast<WORD>((lParam >> 16) & 0xffff); }
constexpr WORD WSAGETSELECTEVENT(LPARAM lParam) { return static_cast<WORD>(lParam & 0xffff); }
constexpr WORD WSAGETSELECTERROR(LPARAM lParam) { return static_cast<WORD>((lParam >> 16) & 0xffff); }

// Error codes.
constexpr int WSABASEERR = 10000;
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETOOMANYREFS = 10059;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAEDISCON = 10101;
constexpr int WSASYSCALLFAILURE = 10107;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;
constexpr int WSANO_ADDRESS = WSANO_DATA;

// Start-up and errors.
int WSAStartup(WORD versionRequested, LPWSADATA data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

// Sockets. Those made by socket() block until WSAAsyncSelect or FIONBIO says otherwise.
SOCKET socket(int family, int type, int protocol);
int closesocket(SOCKET s);
int bind(SOCKET s, const sockaddr* name, int nameLength);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr* address, int* addressLength);
int connect(SOCKET s, const sockaddr* name, int nameLength);
int send(SOCKET s, const char* buffer, int length, int flags);
int recv(SOCKET s, char* buffer, int length, int flags);
int shutdown(SOCKET s, int how);
int setsockopt(SOCKET s, int level, int option, const char* value, int valueLength);
int getsockname(SOCKET s, sockaddr* name, int* nameLength);
int getpeername(SOCKET s, sockaddr* name, int* nameLength);
int ioctlsocket(SOCKET s, LONG command, u_long* argument);

// Readiness as window messages; lParam is WSAMAKESELECTREPLY(event, error).
int WSAAsyncSelect(SOCKET s, HWND window, u_int message, long events);

// Addresses and names.
u_short htons(u_short value);
u_short ntohs(u_short value);
u_long htonl(u_long value);
u_long ntohl(u_long value);
u_long inet_addr(const char* text);
char* inet_ntoa(in_addr address);  // per-thread buffer, valid until the next call
hostent* gethostbyname(const char* name);  // per-thread storage
// The reply (message, wParam the handle, lParam WSAMAKEASYNCREPLY(length, error)) comes
// with the host entry laid out in `buffer`; the buffer is not touched once a cancel succeeded.
HANDLE WSAAsyncGetHostByName(HWND window, u_int message, const char* name, char* buffer,
                             int bufferLength);
int WSACancelAsyncRequest(HANDLE task);

}  // namespace vrk_winsock

using namespace vrk_winsock;

#endif  // no POSIX socket headers
