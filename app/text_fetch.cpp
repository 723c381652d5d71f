// A text URL: fetched by the form's HTTP client, delivered by its success handler.
#include "app/Unit1.h"
#include "platform/command_line.h"

namespace vrk {

void TMain::FetchText() {
  // An empty "IP" setting means no proxy; the client's own port stays 0, so the
  // server's port comes from the URL or its scheme.
  NMHTTP1->Proxy = ip_;
  NMHTTP1->ProxyPort = port_;
  NMHTTP1->Get(ParamStr(1));
}

void TMain::NMHTTP1Success(CmdType) { DeliverText(NMHTTP1->Body); }

}  // namespace vrk
