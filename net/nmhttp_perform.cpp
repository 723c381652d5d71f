// TNMHTTP::PerformRequest: the exchanges of one call, their outcome and redirections.
#include "framework/exceptions.h"
#include "net/NMHttp.h"
#include "platform/text_rules.h"

namespace vrk {

namespace {

bool IsRedirection(std::int16_t status) { return status >= 300 && status <= 399; }

}  // namespace

std::int16_t TNMHTTP::Exchange() {
  ParseURL();
  BuildRequest();
  OnAboutToSend(this);
  std::int16_t status = 0;
  try {
    Connect();
    if (secure_) {
      if (!Proxy.IsEmpty()) OpenTunnel();
      StartSecure(Host);
    }
    SendRequest();
    ReplyNumber = 0;
    ReadResponseHead();
    ReceiveBody();
    status = ReplyNumber;
    if (status < 300) {
      OnSuccess(CurrentCommand);
      ReportStatus(kStatusOutcome, "Transaction Completed");
    } else if (status >= 400) {
      OnFailure(CurrentCommand);
    } else if (status <= 302) {
      CurrentURL = LastLocation;
    }
  } catch (...) {
    // The failure that ended the exchange is the one to pass on.
    try {
      Disconnect();
    } catch (...) {
    }
    throw;
  }
  Disconnect();
  return status;
}

void TNMHTTP::PerformRequest() {
  int redirections = 0;
  for (;;) {
    const std::int16_t status = Exchange();
    if (IsRedirection(status)) {
      bool handled = false;
      if (!LastCookie.IsEmpty()) HeaderInfo->Cookie = LastCookie;
      OnRedirect(handled);
      if (handled) return;
      // A bare relative Location names a resource on the host of the exchange that ended;
      // an empty one stays empty so that the next exchange reports "Empty URL".
      if (!CurrentURL.IsEmpty() && CurrentURL.Pos("/") == 0) {
        // A server on a port of its own stays there.
        const Text port = Port == (secure_ ? 443 : 80) ? Text() : ":" + IntToStr(Port);
        CurrentURL = (secure_ ? "https://" : "http://") + Host + port + "/" + CurrentURL;
      }
    }
    if (status == 401) OnAuthenticationNeeded(this);
    if (!IsRedirection(status)) return;
    // Chains that loop, and 303-399 answers that repeat the same request, end here.
    if (++redirections > kMaxRedirections) throw Exception("Too many redirections");
  }
}

}  // namespace vrk
