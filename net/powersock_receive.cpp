// TPowersock: reading lines and capturing the data until the peer closes.
#include <cstring>
#include <utility>

#include "framework/streams.h"
#include "net/Psock.h"
#include "net/message_wait.h"
#include "net/scope_exit.h"
#include "net/wrapping_add.h"
#include "platform/text_spool.h"

namespace vrk {

namespace {

constexpr std::size_t kFirstPeek = 1024;

}  // namespace

void TPowersock::PumpAfterReceive(bool wouldBlock) {
  if (wouldBlock) WaitForMessage(kReceiveWaitMs);
  PumpMessages();
}

void TPowersock::TakeLineBytes(Text& line, std::size_t from, std::size_t count) {
  line.SetLength(from + count);
  char* into = line.UniqueData() + from;
  std::size_t got = 0;
  // The bytes were peeked, so they are there; the loop only guards against short reads.
  while (got < count) {
    const int received = TransferReceive(into + got, static_cast<int>(count - got), 0);
    if (received > 0) {
      got += static_cast<std::size_t>(received);
    } else if (received == 0) {
      break;
    } else {
      Text ignored;
      CheckSocketError(WSAEWOULDBLOCK, ignored);
      if (WSAGetLastError() != WSAEWOULDBLOCK) break;
      WaitForMessage(kShortWaitMs);
    }
  }
  if (got < count) line.SetLength(from + got);
}

void TPowersock::ReadLn(Text& Line) {
  ReportStatus(kStatusDetail, "ReadLn");
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  Line = Text();
  lineCutByClose_ = Text();
  std::size_t taken = 0;
  // A peek copies all it asks for that waits: it starts small and grows while it finds no
  // line feed, so that a short line does not cost a copy of everything behind it.
  std::size_t window = kFirstPeek;
  for (;;) {
    // The line must fit the buffer: what was taken plus what a peek may still bring.
    if (taken >= kChunk) throw ESockError("Line too long for ReadLn");
    const std::size_t room = kChunk - taken;
    const int peeked = TransferReceive(TransferBuffer + taken,
                                       static_cast<int>(window < room ? window : room), MSG_PEEK);
    bool wouldBlock = false;
    if (peeked == 0) {
      EndOfData(0);
      lineCutByClose_ = std::move(Line);
      Line = Text();
      return;
    }
    if (peeked > 0) {
      const char* start = TransferBuffer + taken;
      const void* feed = std::memchr(start, '\n', static_cast<std::size_t>(peeked));
      if (feed != nullptr) {
        if (CancelRequested) RaiseAbort("Socket readln aborted");
        const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(feed) - start) + taken;
        TakeLineBytes(Line, taken, end + 1 - taken);
        return;
      }
      TakeLineBytes(Line, taken, static_cast<std::size_t>(peeked));
      taken = Line.Length();
      if (window < kChunk) window *= 2;
    } else {
      LastErrorNo = WSAGetLastError();
      if (PeerGone()) {
        // The close notification replaced the socket: the peer has gone.
        if (CancelRequested) RaiseAbort("Socket readln aborted");
        lineCutByClose_ = std::move(Line);
        Line = Text();
        return;
      }
      Text ignored;
      CheckSocketError(WSAEWOULDBLOCK, ignored);
      wouldBlock = true;
    }
    PumpAfterReceive(wouldBlock);
    if (CancelRequested) RaiseAbort("Socket readln aborted");
  }
}

void TPowersock::CaptureFile(const Text& FileName) {
  ReportStatus(kStatusDetail, "CaptureFile");
  BytesRecvd = 0;
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  {
    TFileStream file(FileName, TFileMode::Create);
    std::uint64_t captured = 0;
    while (!CancelRequested) {
      const int received = TransferReceive(TransferBuffer, static_cast<int>(kChunk), 0);
      bool wouldBlock = false;
      if (received > 0) {
        file.WriteBuffer(TransferBuffer, received);
        captured += static_cast<std::uint64_t>(received);
        BytesRecvd = WrappingAdd(BytesRecvd, received);
        OnPacketRecvd(this);
        TimerOn();
      } else if (received == 0) {
        EndOfData(captured);
        break;
      } else {
        if (ReceiveEnded()) break;
        wouldBlock = true;
      }
      PumpAfterReceive(wouldBlock);
    }
    file.Flush();
  }
  // "send", not "capture": the text callers have always seen for a canceled file capture.
  if (CancelRequested) RaiseAbort("Socket send aborted");
}

bool TPowersock::PeerGone() const noexcept {
  // Closed at the peer's end and replaced by a fresh socket, or by none when memory ran out for
  // it: the data ended with the close either way.
  return LastErrorNo == WSAENOTCONN || SocketHandle == kNoSocket;
}

// After a failed receive: true when the socket is no longer connected, which ends the data;
// otherwise the attempt would have blocked (any other error is raised here).
bool TPowersock::ReceiveEnded() {
  LastErrorNo = WSAGetLastError();
  if (PeerGone()) {
    RaiseIfClosedByError();
    return true;
  }
  Text ignored;
  CheckSocketError(WSAEWOULDBLOCK, ignored);
  return false;
}

void TPowersock::CaptureString(Text& Captured, std::int32_t Count) {
  ReportStatus(kStatusDetail, "Capture String");
  TextSpool spool(Captured, SpoolFileName);
  BytesRecvd = 0;
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  while (!CancelRequested &&
         (Count == -1 || static_cast<long long>(Captured.Length()) < static_cast<long long>(Count))) {
    // Each piece arrives where it is kept, as large as the socket has it: a text of
    // gigabytes then costs a few thousand turns of this loop, not a copy of every byte.
    std::size_t room = 0;
    char* into = spool.Room(room);
    const int received = TransferReceive(into, static_cast<int>(room), 0);
    bool wouldBlock = false;
    if (received == 0) {
      EndOfData(Captured.Length());
      break;
    }
    if (received > 0) {
      spool.Take(static_cast<std::size_t>(received));
      BytesRecvd = WrappingAdd(BytesRecvd, received);
      OnPacketRecvd(this);
      TimerOn();
    } else {
      if (ReceiveEnded()) break;
      wouldBlock = true;
    }
    PumpAfterReceive(wouldBlock);
  }
  if (CancelRequested) RaiseAbort("Socket capture aborted");
}

}  // namespace vrk
