// TPowersock: sending a buffer, texts and files.
#include <cstring>

#include "framework/streams.h"
#include "net/Psock.h"
#include "net/message_wait.h"
#include "net/scope_exit.h"
#include "net/wrapping_add.h"

namespace vrk {

void TPowersock::SendChunk(const char* data, std::size_t length, bool countAsFileData) {
  std::size_t remaining = length;
  SendStallWait stall;
  while (remaining > 0 && !CancelRequested) {
    const int sent = TransferSend(data + (length - remaining), static_cast<int>(remaining));
    bool wouldBlock = false;
    if (sent == 0) break;
    if (sent > 0) {
      remaining -= static_cast<std::size_t>(sent);
      stall.Progress();
      if (countAsFileData) {
        BytesSent = WrappingAdd(BytesSent, sent);
        OnPacketSent(this);
      }
    } else {
      Text ignored;
      CheckSocketError(WSAEWOULDBLOCK, ignored);
      wouldBlock = true;
    }
    if (remaining > 0 || countAsFileData) {
      if (wouldBlock) stall.Wait();
      PumpMessages();
    }
  }
}

void TPowersock::SendBuffer(const char* Buffer, std::uint16_t Length) {
  ReportStatus(kStatusConnection, "Sending Buffer");
  TimerOn();
  ScopeExit off([this] { TimerOff(); });
  if (!CancelRequested) {
    std::size_t length = Length;
    if (length == 0) {
      const void* end = std::memchr(Buffer, 0, kChunk);
      length = end ? static_cast<std::size_t>(static_cast<const char*>(end) - Buffer) : kChunk;
      if (length > 0xFFFF) throw ESockError("Text too long to send");
    }
    SendChunk(Buffer, length, false);
  }
  if (CancelRequested) RaiseAbort("Socket send aborted");
}

void TPowersock::Write(const Text& Data) {
  ReportStatus(kStatusDetail, "Write");
  const std::size_t length = Data.Length() < kChunk ? Data.Length() : kChunk;
  std::memcpy(TransferBuffer, Data.c_str(), length);
  TransferBuffer[length] = 0;
  SendBuffer(TransferBuffer, 0);
}

void TPowersock::Writeln(const Text& Data) {
  ReportStatus(kStatusDetail, "Writeln");
  Write(Data + "\r\n");
}

void TPowersock::SendFile(const Text& FileName) {
  ReportStatus(kStatusDetail, "SendFile");
  {
    TFileStream file(FileName, TFileMode::OpenRead);
    const std::int64_t size = file.Size();
    while (!CancelRequested) {
      const std::int32_t read = file.Read(TransferBuffer, static_cast<std::int32_t>(kChunk));
      SendChunk(TransferBuffer, read > 0 ? static_cast<std::size_t>(read) : 0, true);
      // A file that shrank under us ends too, rather than being read for ever.
      if (read <= 0 || file.Position() >= size) break;
    }
  }
  if (CancelRequested) RaiseAbort("Socket send aborted");
}

}  // namespace vrk
