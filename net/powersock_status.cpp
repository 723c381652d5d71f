// TPowersock: status reports, platform errors, the time-out and cancellation.
#include "net/Psock.h"
#include "net/sock_errors.h"

namespace vrk {

void TPowersock::ReportStatus(std::uint8_t Level, const char* Status) noexcept {
  if (static_cast<std::int32_t>(Level) > ReportLevel) return;
  try {
    ReportStatus(Level, Text(Status));
  } catch (...) {
  }
}

void TPowersock::ReportStatus(std::uint8_t Level, const Text& Status) noexcept {
  if (static_cast<std::int32_t>(Level) > ReportLevel) return;
  try {
    StatusText = Status;
    if (!destroying_) {
      const Text status = StatusText;
      OnStatus(this, status);
    }
  } catch (...) {
  }
}

void TPowersock::CheckSocketError(std::uint16_t Tolerated, Text& Message) {
  const int code = WSAGetLastError();
  LastErrorNo = code;
  if (code != Tolerated && code > WSABASEERR) RaiseSocketError(static_cast<std::uint16_t>(code));
  Message = Text();
}

void TPowersock::RaiseSocketError(std::uint16_t Code) {
  Text message;
  LookupErrorMessage(Code, message);
  OnSocketError(this, Code, message);
  throw ESockError(message);
}

void TPowersock::RaiseIfClosedByError() {
  if (closeError_ != 0) RaiseSocketError(closeError_);
}

void TPowersock::LookupErrorMessage(std::uint16_t Code, Text& Message) {
  ReportStatus(kStatusDetail, "Looking Up Error Message");
  Message = SocketErrorMessage(Code);
}

void TPowersock::TimerOn() {
  ReportStatus(kStatusDetail, "Timer On");
  TimedOut = false;
  if (TimeOut < 0) throw Exception("TimeOut must not be negative");
  if (SocketTimer == nullptr) return;
  SocketTimer->SetInterval(static_cast<std::uint32_t>(TimeOut));
  SocketTimer->SetEnabled(true);
}

void TPowersock::TimerOff() {
  ReportStatus(kStatusDetail, "Timer Off");
  if (SocketTimer != nullptr) SocketTimer->SetEnabled(false);
}

void TPowersock::TimerTriggered(TObject*) {
  ReportStatus(kStatusDetail, "Timer Triggered");
  TimerOff();
  TimedOut = true;
  WaitSignal = true;
  Abort();
}

void TPowersock::Cancel() {
  ReportStatus(kStatusDetail, "Canceling");
  CancelRequested = true;
}

void TPowersock::Abort() {
  ReportStatus(kStatusDetail, "Abort");
  Cancel();
}

void TPowersock::RaiseAbort(const char* message) {
  CancelRequested = false;
  throw EAbortError(message);
}

}  // namespace vrk
