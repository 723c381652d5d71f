// TNMHTTP: the tunnel through the proxy that a secure exchange asks for, and what makes a
// secure body whole.
#include "net/NMHttp.h"
#include "net/response_head.h"
#include "platform/text_rules.h"

namespace vrk {

void TNMHTTP::OpenTunnel() {
  const Text authority = Host + ":" + IntToStr(Port);
  SendWhole("CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n\r\n");
  // Only the head: whatever follows it is the server's, inside the tunnel.
  TResponseHead head;
  try {
    Text line;
    bool more = true;
    while (more) {
      ReadLn(line);
      more = head.Take(line, LineCutByClose().View());
    }
  } catch (const EAbortError&) {
    throw;
  } catch (const ESockError&) {
    // A broken or oversized answer is no tunnel either.
    throw ESockError(kTunnelRefused);
  }
  if (head.CutShort() || head.Status() < 200 || head.Status() > 299) throw ESockError(kTunnelRefused);
}

bool TNMHTTP::CutEndComplete(std::uint64_t received) const {
  return promisedBodyLength_ && received >= static_cast<std::uint64_t>(*promisedBodyLength_);
}

}  // namespace vrk
