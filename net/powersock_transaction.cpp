// TPowersock: one command line out, one reply line back.
#include "net/Psock.h"

namespace vrk {

namespace {
// The leading decimal number of a reply (at most 10 digits), or 0. A number that does not
// fit ReplyNumber gives 0 as well, rather than a wrapped value.
std::int16_t LeadingNumber(const Text& reply) {
  long long value = 0;
  std::size_t digits = 0;
  const char* bytes = reply.c_str();
  while (digits < reply.Length() && digits < 10 && bytes[digits] >= '0' && bytes[digits] <= '9') {
    value = value * 10 + (bytes[digits] - '0');
    ++digits;
  }
  if (digits == 0 || value > 32767) return 0;
  return static_cast<std::int16_t>(value);
}
}  // namespace

void TPowersock::Transaction(const Text& Command, Text& Reply) {
  ReportStatus(kStatusDetail, "Transaction");
  ReplyNumber = 0;
  Writeln(Command);
  Text line;
  ReadLn(line);
  LastReply = line;
  if (!LastReply.IsEmpty()) {
    ReportStatus(kStatusReply, LastReply);
    ReplyNumber = LeadingNumber(LastReply);
  }
  Reply = LastReply;
}

}  // namespace vrk
