// Psock: the socket component TPowersock, a synchronous interface over one TCP socket
// whose platform notifications arrive as window messages. Every operation returns only
// when its work is done, has failed, has timed out or was canceled; while it waits it
// pumps the thread's message queue, so the owner's handlers may run inside a wait.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/component.h"
#include "framework/events.h"
#include "framework/string_list.h"
#include "framework/text.h"
#include "net/sock_exceptions.h"
#include "net/thread_timer.h"
#include "platform/tls_session.h"
#include "platform/winapi.h"

namespace vrk {

using THandlerEvent = TEvent<void(bool& Handled)>;
using TOnHostResolved = TEvent<void(TComponent* Sender)>;
using TOnStatus = TEvent<void(TComponent* Sender, const Text& Status)>;
using TOnSocketError = TEvent<void(TComponent* Sender, std::uint16_t ErrorNo, const Text& Message)>;

// Socket events from WSAAsyncSelect and replies of the asynchronous name lookup.
constexpr UINT kSocketEventMessage = 1125;
constexpr UINT kHostLookupMessage = 1126;
constexpr long kSocketEventMask = FD_READ | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

// Status levels: a status is reported when its level is at most ReportLevel.
constexpr std::uint8_t kStatusReply = 1;        // the reply lines of Transaction
constexpr std::uint8_t kStatusOutcome = 2;      // a completed transaction
constexpr std::uint8_t kStatusConnection = 4;   // closing, accepting, sending a buffer
constexpr std::uint8_t kStatusDetail = 8;       // every step

// A notification as the component's window received it.
struct TNotificationMessage {
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
  LRESULT Result;
};

LRESULT CALLBACK SocketWindowProc(HWND Window, UINT Message, WPARAM First, LPARAM Second);

// 1-based position of the character where the count of `Ch` reaches `N`; the length
// plus 1 when the text ends first.
std::int32_t NthCharPos(const Text& Source, char Ch, std::int32_t N);

class TPowersock : public TComponent {
 public:
  static constexpr std::uint16_t kNoSocket = 0xFFFF;
  static constexpr std::size_t kChunk = 65536;
  static constexpr std::size_t kTransferBufferSize = kChunk + 1;

  // Starts Windows Sockets (shared by every socket component) and opens the socket;
  // raises ESockError "Initializaton of windows sockets failed" when it cannot.
  explicit TPowersock(TComponent* owner);
  // Fires neither OnStatus nor OnDisconnect. A descendant that overrides Abort must
  // call its own Abort in its destructor, after BeginDestruction: here the base's runs.
  ~TPowersock() override;

  // Stored in forms.
  Text Host;
  std::int32_t Port = 0;
  std::int32_t TimeOut = 0;  // milliseconds per timed wait; 0: none; never negative
  std::int32_t ReportLevel = 1;
  TNotifyEvent OnDisconnect;
  TNotifyEvent OnConnect;
  THandlerEvent OnInvalidHost;
  TOnHostResolved OnHostResolved;
  TOnStatus OnStatus;
  TNotifyEvent OnConnectionFailed;

  // Held, not stored.
  Text Proxy;
  std::int32_t ProxyPort = 0;
  TNotifyEvent OnPacketRecvd;
  TNotifyEvent OnPacketSent;
  TNotifyEvent OnDataReady;
  TNotifyEvent OnAccept;
  TOnSocketError OnSocketError;
  Text StatusText;
  std::int32_t LastErrorNo = 0;
  std::int32_t BytesSent = 0;
  std::int32_t BytesRecvd = 0;
  std::int32_t BytesTotal = 0;
  Text LastReply;
  std::int16_t ReplyNumber = 0;
  std::unique_ptr<TStringList> WinsockInfo;
  // The file a CaptureString text is bound for, if any: a large text then waits beside
  // it in a file of its own instead of in memory (see TextSpool).
  Text SpoolFileName;

  virtual std::uint16_t Accept();
  virtual void Connect();
  virtual void Disconnect();
  virtual void Transaction(const Text& Command, Text& Reply);
  virtual void Abort();

  void Cancel();
  bool DataAvailable();

  // Sending. Length 0 means the NUL-terminated text in Buffer.
  void SendBuffer(const char* Buffer, std::uint16_t Length);
  void Write(const Text& Data);
  void Writeln(const Text& Data);
  void SendFile(const Text& FileName);

  // Receiving. ReadLn gives one line with its line end; a line that reaches
  // kChunk bytes without a line feed raises ESockError "Line too long for ReadLn".
  // When the peer closes first, the line is empty and LineCutByClose() holds the bytes
  // of it that came before the close.
  void ReadLn(Text& Line);
  const Text& LineCutByClose() const noexcept { return lineCutByClose_; }
  void CaptureFile(const Text& FileName);
  // Count -1: until the peer closes; otherwise until at least Count bytes are held.
  void CaptureString(Text& Captured, std::int32_t Count);

  // Makes the component's socket listen for Accept: bound to Host when that is a dotted
  // address (any address when empty) at Port (0: a free one, see LocalPort).
  void Listen(int Backlog = 1);
  std::uint16_t LocalPort();

  // Makes the connected transfer secure: a TLS handshake with the server for `host` (its
  // certificate must name it), waiting as Connect does. From here until the socket closes,
  // every byte sent and received goes through the session. Raises Exception "HTTP Secure
  // Socket is not supported" when the system has no TLS, ESockError naming the cause when
  // the handshake fails.
  virtual void StartSecure(const Text& host);
  bool IsSecure() const noexcept { return tls_ != nullptr; }

  bool IsConnected() const noexcept { return Connected; }
  std::uint16_t Handle() const noexcept { return SocketHandle; }
  static std::int32_t WinsockUserCount() noexcept { return WinsockUsers; }

  // Every message numbered 1125 or above that reaches NotifyWindow.
  void HandleNotification(TNotificationMessage& Message);

 protected:
  void ResolveHost();
  void RequestCloseSocket();
  void DiscardQueuedEvents(SOCKET closed);
  bool ReceiveEnded();
  void TimerOn();
  void TimerOff();
  void TimerTriggered(TObject* Sender);
  void InitWinsock();
  // From here on the component reports no status and fires no OnDisconnect; the first
  // step of a descendant's destructor.
  void BeginDestruction() noexcept { destroying_ = true; }
  // A status above ReportLevel is never made into a text: the steps on the way out of a failed
  // operation report theirs too, and must not need memory for it. Neither raises.
  void ReportStatus(std::uint8_t Level, const char* Status) noexcept;
  void ReportStatus(std::uint8_t Level, const Text& Status) noexcept;
  void CheckSocketError(std::uint16_t Tolerated, Text& Message);
  // Fires OnSocketError and raises ESockError with the text of the platform error `Code`.
  [[noreturn]] void RaiseSocketError(std::uint16_t Code);
  void LookupErrorMessage(std::uint16_t Code, Text& Message);
  // Whether a secure transfer that the connection's end cut (no close_notify) still holds all
  // its data, `received` bytes having come since the capture began: never, unless a
  // descendant knows the length that makes it whole.
  virtual bool CutEndComplete(std::uint64_t received) const;

  std::uint16_t SocketHandle = kNoSocket;
  HWND NotifyWindow = nullptr;
  TThreadTimer* SocketTimer = nullptr;
  sockaddr_in RemoteAddress{};
  std::unique_ptr<char[]> HostEntryBuffer;
  // Not cleared: every operation writes what it reads back, and clearing it touched 16 pages
  // at every start.
  char TransferBuffer[kTransferBufferSize];
  WSADATA WSAData{};
  bool Connected = false;
  bool CancelRequested = false;
  bool TimedOut = false;
  bool LastEventOk = false;
  bool WaitSignal = false;
  bool ClosingForGood = false;

  static std::int32_t WinsockUsers;

 private:
  // Opens a socket and registers it for notifications; kNoSocket when socket() failed.
  std::uint16_t OpenSocket(int protocol);
  // After a close: the fresh socket that the component always holds, unless it is going away.
  void Reopen();
  // After a connect that did not succeed: a fresh socket for the next one.
  void ReplaceFailedSocket();
  void ReleaseWinsockShare() noexcept;
  void RaiseAbort(const char* message);
  // One transfer step's pump: with nothing received or sent, first waits for a message.
  void PumpAfterReceive(bool wouldBlock);
  void SendChunk(const char* data, std::size_t length, bool countAsFileData);
  // Takes exactly `count` bytes off the socket into `line` from index `from`.
  void TakeLineBytes(Text& line, std::size_t from, std::size_t count);

  // The byte transfer: recv's and send's contract, through the TLS session when the transfer
  // is secure. A secure end of the data reads as 0; a failed session raises ESockError.
  int TransferReceive(char* buffer, int length, int flags);
  int TransferSend(const char* data, int length);
  // The data ended (a read gave 0) after `received` bytes: raises what the end tells, a broken
  // connection or a secure transfer cut short.
  void EndOfData(std::uint64_t received);

  Text lineCutByClose_;
  std::unique_ptr<TlsSession> tls_;
  // The secure transfer ended by the connection's end without close_notify.
  bool secureCut_ = false;
  bool destroying_ = false;
  bool holdsWinsockShare_ = false;
  // The connect notification came: a close handled in the same pump must not hide it.
  bool connectSignaled_ = false;
  // The error a close notification carried: the connection broke, and its end of the data
  // is a failure, whatever the next read says (Windows reads 0 after a reset).
  std::uint16_t closeError_ = 0;
  void RaiseIfClosedByError();
  // After a failed receive (LastErrorNo set): the connection was closed, so the data has ended.
  bool PeerGone() const noexcept;
  HANDLE lookupTask_ = nullptr;  // the name lookup whose reply is awaited
  std::uint16_t lookupError_ = 0;  // the Winsock error its reply (or its start) gave
};

}  // namespace vrk
