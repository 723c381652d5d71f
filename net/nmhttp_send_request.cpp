// TNMHTTP::SendRequest: the request head and, for the kinds that carry data, the body.
#include "net/NMExtstr.h"
#include "net/NMHttp.h"

namespace vrk {

void TNMHTTP::SendWhole(const Text& data) {
  // Write stops at a zero byte and refuses 64 KiB; explicit lengths send everything.
  constexpr std::size_t kPiece = 0xFFFF;
  const char* bytes = data.c_str();
  std::size_t offset = 0;
  while (offset < data.Length()) {
    const std::size_t left = data.Length() - offset;
    const std::size_t piece = left < kPiece ? left : kPiece;
    SendBuffer(bytes + offset, static_cast<std::uint16_t>(piece));
    offset += piece;
  }
}

void TNMHTTP::SendRequest() {
  // The head and the empty line that ends it in one send: sent apart, the last piece waited
  // for the server's delayed acknowledgement of the first (40 ms), and over TLS went as a
  // record of its own.
  SendWhole(RequestHead->GetText() + "\r\n");
  if (!CarriesRequestData(CurrentCommand)) return;
  if (OutputFileMode) {
    SendFile(RequestData);
  } else {
    SendWhole(RequestData);
  }
}

}  // namespace vrk
