// A text URL: fetched by the form's HTTP client, delivered by its success handler.
#include "app/Unit1.h"
#include "app/text_delivery.h"
#include "platform/command_line.h"
#include "platform/files.h"

namespace vrk {

void TMain::FetchText() {
  // An empty "IP" setting means no proxy; the client's own port stays 0, so the
  // server's port comes from the URL or its scheme.
  NMHTTP1->Proxy = ip_;
  NMHTTP1->ProxyPort = port_;
  // A text bound for a file gathers beside that file, so that delivering it costs no copy;
  // one bound for a device goes there from memory.
  const DeliveryParameters parameters = DeliveryParameters::FromCommandLine();
  if (parameters.Mode == "W" && !parameters.FileName.IsEmpty()) {
    const Text fileName =
        DeliveryFileName(TargetFileName(parameters.FileName), parameters.MoreWords);
    if (!IsDevice(fileName)) NMHTTP1->SpoolFileName = fileName;
  }
  NMHTTP1->Get(ParamStr(1));
}

void TMain::NMHTTP1Success(CmdType) {
  DeliverText(NMHTTP1->Body);
  // Delivered: closing the connection afterwards is no part of what the user asked for.
  workDone_ = true;
}

}  // namespace vrk
