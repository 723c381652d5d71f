// TPowersock: construction, the start-up of Windows Sockets and destruction.
#include <cstring>
#include <new>
#include <string>

#include "net/Psock.h"
#include "net/notify_window.h"

namespace vrk {

std::int32_t TPowersock::WinsockUsers = 0;

namespace {

constexpr WORD kWinsockVersion = 0x0101;
constexpr const char* kInitFailed = "Initializaton of windows sockets failed";

Text VersionText(WORD version) {
  return Text(std::to_string(version >> 8)) + "." + Text(std::to_string(version & 0xFF));
}

// Up to the first NUL, at most `limit` characters.
Text Bounded(const char* text, std::size_t limit) {
  const void* end = std::memchr(text, 0, limit);
  return Text(text, end ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : limit);
}

}  // namespace

TPowersock::TPowersock(TComponent* owner) : TComponent(owner) {
  NotifyWindow = CreateNotifyWindow(this);
  Proxy = Text();
  HostEntryBuffer = std::make_unique<char[]>(MAXGETHOSTSTRUCT);
  SocketTimer = new TThreadTimer(this);
  SocketTimer->SetEnabled(false);
  SocketTimer->SetOnTimer(Bind(this, &TPowersock::TimerTriggered));
  TimeOut = 0;
  ReportLevel = 1;
  WinsockInfo = std::make_unique<TStringList>();
  CancelRequested = false;
  ClosingForGood = false;
  Connected = false;
  try {
    InitWinsock();
  } catch (...) {
    // No destructor runs for a half-made object: the window must go here.
    if (NotifyWindow != nullptr) DestroyWindow(NotifyWindow);
    NotifyWindow = nullptr;
    throw;
  }
}

void TPowersock::InitWinsock() {
  ReportStatus(kStatusDetail, "Initializing Winsock");
  ++WinsockUsers;
  holdsWinsockShare_ = true;
  bool failed = false;
  try {
    if (WinsockUsers == 1) {
      WSAStartup(kWinsockVersion, &WSAData);
      WinsockInfo->Add("Version= " + VersionText(WSAData.wVersion));
      WinsockInfo->Add("High Version= " + VersionText(WSAData.wHighVersion));
      WinsockInfo->Add("Description= " + Bounded(WSAData.szDescription, sizeof WSAData.szDescription));
      WinsockInfo->Add("System= " + Bounded(WSAData.szSystemStatus, sizeof WSAData.szSystemStatus));
      WinsockInfo->Add("Max Sockets= " + Text(std::to_string(WSAData.iMaxSockets)));
      WinsockInfo->Add("Max Udp pack size= " + Text(std::to_string(WSAData.iMaxUdpDg)));
    }
    SOCKET handle = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (handle != INVALID_SOCKET && handle > 0xFFFF) {
      closesocket(handle);
      handle = INVALID_SOCKET;
      failed = true;
    }
    SocketHandle = handle == INVALID_SOCKET ? kNoSocket : static_cast<std::uint16_t>(handle);
    if (SocketHandle != kNoSocket) {
      // Closing drops the connection at once.
      linger option{1, 0};
      if (setsockopt(SocketHandle, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
                     sizeof option) == SOCKET_ERROR) {
        failed = true;
      }
    }
    if (SocketHandle == kNoSocket) {
      Text ignored;
      failed = true;
      CheckSocketError(WSAEWOULDBLOCK, ignored);
    }
    if (!failed && WSAAsyncSelect(SocketHandle, NotifyWindow, kSocketEventMessage,
                                  kSocketEventMask) == SOCKET_ERROR) {
      failed = true;
    }
  } catch (const std::bad_alloc&) {
    // Said as what it is, not as sockets that failed to start.
    if (SocketHandle != kNoSocket) closesocket(SocketHandle);
    SocketHandle = kNoSocket;
    ReleaseWinsockShare();
    throw;
  } catch (...) {
    failed = true;
  }
  if (failed) {
    if (SocketHandle != kNoSocket) closesocket(SocketHandle);
    SocketHandle = kNoSocket;
    ReleaseWinsockShare();
    throw ESockError(kInitFailed);
  }
}

std::uint16_t TPowersock::OpenSocket(int protocol) {
  SOCKET handle = socket(AF_INET, SOCK_STREAM, protocol);
  if (handle == INVALID_SOCKET) return kNoSocket;
  if (handle > 0xFFFF) {
    closesocket(handle);
    return kNoSocket;
  }
  WSAAsyncSelect(handle, NotifyWindow, kSocketEventMessage, kSocketEventMask);
  return static_cast<std::uint16_t>(handle);
}

void TPowersock::ReleaseWinsockShare() noexcept {
  if (!holdsWinsockShare_) return;
  holdsWinsockShare_ = false;
  if (--WinsockUsers == 0) WSACleanup();
}

TPowersock::~TPowersock() {
  destroying_ = true;
  try {
    // Ends a wait that may still run further up the stack.
    Abort();
    Cancel();
  } catch (...) {
  }
  WinsockInfo.reset();
  delete SocketTimer;
  SocketTimer = nullptr;
  // A lookup still running would write into the freed buffer.
  if (lookupTask_ != nullptr) WSACancelAsyncRequest(lookupTask_);
  lookupTask_ = nullptr;
  HostEntryBuffer.reset();
  if (NotifyWindow != nullptr) DestroyWindow(NotifyWindow);
  NotifyWindow = nullptr;
  ClosingForGood = true;
  try {
    RequestCloseSocket();
  } catch (...) {
  }
  ReleaseWinsockShare();
}

}  // namespace vrk
