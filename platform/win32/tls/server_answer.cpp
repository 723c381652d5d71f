#include "platform/win32/tls/server_answer.h"

namespace vrk::schannel {

namespace {

// Record content types.
constexpr unsigned char kAlert = 21;
constexpr unsigned char kHandshake = 22;
constexpr unsigned char kServerHello = 2;
constexpr unsigned char kProtocolVersionAlert = 70;
constexpr unsigned kTls12 = 0x0303;
// A record's payload is at most 2^14 bytes plus what compression and encryption add.
constexpr unsigned kLongestRecord = 16384 + 2048;
constexpr std::size_t kRecordHeader = 5;

}  // namespace

ServerAnswer ReadServerAnswer(const unsigned char* bytes, std::size_t size) noexcept {
  if (size < 1) return ServerAnswer::NeedMore;
  if (bytes[0] != kHandshake && bytes[0] != kAlert) return ServerAnswer::NotTls;
  if (size < 2) return ServerAnswer::NeedMore;
  if (bytes[1] != 3) return ServerAnswer::NotTls;
  if (size < kRecordHeader) return ServerAnswer::NeedMore;
  const unsigned length = (static_cast<unsigned>(bytes[3]) << 8) | bytes[4];
  if (length == 0 || length > kLongestRecord) return ServerAnswer::NotTls;
  const unsigned char* payload = bytes + kRecordHeader;
  const std::size_t present = size - kRecordHeader;
  if (bytes[0] == kAlert) {
    if (length < 2) return ServerAnswer::NotTls;
    if (present < 2) return ServerAnswer::NeedMore;
    return payload[1] == kProtocolVersionAlert ? ServerAnswer::OldProtocol : ServerAnswer::Alert;
  }
  if (present < 1) return ServerAnswer::NeedMore;
  if (payload[0] != kServerHello) return ServerAnswer::NotTls;
  // The hello's version follows its type and three bytes of length; a record too short to
  // hold it leaves the judgement to Secure Channel.
  if (length < 6) return ServerAnswer::Hello;
  if (present < 6) return ServerAnswer::NeedMore;
  const unsigned version = (static_cast<unsigned>(payload[4]) << 8) | payload[5];
  return version < kTls12 ? ServerAnswer::OldProtocol : ServerAnswer::Hello;
}

}  // namespace vrk::schannel
