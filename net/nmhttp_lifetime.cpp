// TNMHTTP: construction, destruction, Abort and the request kinds' words.
#include "net/NMExtstr.h"
#include "net/NMHttp.h"

namespace vrk {

const char* RequestWord(CmdType Cmd) noexcept {
  switch (Cmd) {
    case ctGet: return "GET ";
    case ctOptions: return "OPTIONS ";
    case ctHead: return "HEAD ";
    case ctPost: return "POST ";
    case ctPut: return "PUT ";
    case ctPatch: return "PATCH ";
    case ctCopy: return "COPY ";
    case ctMove: return "MOVE ";
    case ctDelete: return "DELETE ";
    case ctLink: return "LINK ";
    case ctUnlink: return "UNLINK ";
    case ctTrace: return "TRACE ";
    case ctOther: break;
  }
  return "";
}

bool CarriesRequestData(CmdType Cmd) noexcept {
  return Cmd == ctPost || Cmd == ctPut || Cmd == ctPatch || Cmd == ctTrace || Cmd == ctOther;
}

TNMHTTP::TNMHTTP(TComponent* owner)
    : TPowersock(owner),
      HeaderInfo(std::make_unique<THeaderInfo>()),
      RequestHead(std::make_unique<TExStringList>()) {}

TNMHTTP::~TNMHTTP() {
  // The base destructor can only reach its own Abort; a wait up the stack needs ours.
  BeginDestruction();
  try {
    Abort();
  } catch (...) {
  }
  HeaderInfo.reset();
  RequestHead.reset();
}

void TNMHTTP::Abort() {
  WaitSignal = true;
  Cancel();
}

}  // namespace vrk
