// TNMHTTP: the request operations, one per request kind.
#include <memory>

#include "net/NMHttp.h"
#include "net/NMURL.h"

namespace vrk {

void TNMHTTP::Request(const Text& URL, CmdType Cmd) {
  CurrentURL = URL;
  CurrentCommand = Cmd;
  PerformRequest();
}

void TNMHTTP::Options(const Text& URL) { Request(URL, ctOptions); }

void TNMHTTP::Get(const Text& URL) { Request(URL, ctGet); }

void TNMHTTP::Post(const Text& URL, const Text& PostData) {
  RequestData = PostData;
  if (EncodePostData) {
    // Owned by this component while it lives, freed again right here.
    std::unique_ptr<TNMURL> encoder(new TNMURL(this));
    // A file name under OutputFileMode is used as it is.
    if (!OutputFileMode) {
      encoder->InputString = PostData;
      RequestData = encoder->Encode();
    }
  }
  Request(URL, ctPost);
}

void TNMHTTP::Put(const Text& URL, const Text& PutData) {
  RequestData = PutData;
  Request(URL, ctPut);
}

void TNMHTTP::Head(const Text& URL) { Request(URL, ctHead); }

void TNMHTTP::Patch(const Text& URL, const Text& PatchData) {
  RequestData = PatchData;
  Request(URL, ctPatch);
}

void TNMHTTP::Delete(const Text& URL) { Request(URL, ctDelete); }

void TNMHTTP::Trace(const Text& URL, const Text& TraceData) {
  RequestData = TraceData;
  Request(URL, ctTrace);
}

void TNMHTTP::Copy(const Text& URL, const Text& ToURI) {
  TargetURI = ToURI;
  Request(URL, ctCopy);
}

void TNMHTTP::Move(const Text& URL, const Text& ToURI) {
  TargetURI = ToURI;
  Request(URL, ctMove);
}

void TNMHTTP::Link(const Text& URL, const Text& LinkText) {
  TargetURI = LinkText;
  RequestData = "Send.dat";
  Request(URL, ctLink);
}

void TNMHTTP::Unlink(const Text& URL, const Text& LinkText) {
  TargetURI = LinkText;
  RequestData = "Send.dat";
  Request(URL, ctUnlink);
}

void TNMHTTP::OtherRequest(const Text& URL, const Text& Data) {
  RequestData = Data;
  Request(URL, ctOther);
}

}  // namespace vrk
