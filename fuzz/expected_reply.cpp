#include "fuzz/expected_reply.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "net/Psock.h"
#include "net/response_head.h"
#include "net/sock_exceptions.h"
#include "platform/tls_failure.h"

namespace vrk::fuzz {

namespace {

constexpr const char* kLineTooLong = "Line too long for ReadLn";

ExpectedReply Fails(std::string message) {
  ExpectedReply failed;
  failed.failure = std::move(message);
  return failed;
}

}  // namespace

ExpectedReply ExpectReply(std::string_view reply, bool headRequest, bool properEnd) {
  ExpectedReply expected;
  // Without close_notify, a close before the data is whole tells the cut, not the short reply.
  const char* cutShort = properEnd ? kResponseCutShort : TlsFailureText(TlsFailure::Truncated);
  TResponseHead head;
  std::size_t at = 0;
  try {
    for (bool more = true; more;) {
      const std::size_t feed = reply.find('\n', at);
      if (feed == std::string_view::npos) {
        // ReadLn fills its buffer before it sees the close.
        if (reply.size() - at >= TPowersock::kChunk) return Fails(kLineTooLong);
        if (!properEnd) return Fails(cutShort);
        // A first line cut by the close is a body without a head, and is dropped.
        head.Take(Text(), reply.substr(at));
        expected.header = reply.substr(0, at);
        at = reply.size();
        break;
      }
      if (feed + 1 - at > TPowersock::kChunk) return Fails(kLineTooLong);
      more = head.Take(Text(reply.substr(at, feed + 1 - at)));
      at = feed + 1;
      expected.header = reply.substr(0, at);
    }
  } catch (const ESockError& tooLarge) {
    return Fails(tooLarge.Message().ToStdString());
  }
  if (head.CutShort()) return Fails(cutShort);
  const std::optional<std::int32_t> promised = head.PromisedBodyLength(headRequest);
  const std::optional<std::int32_t> kept = head.KeptBodyLength(headRequest);
  expected.body = reply.substr(at);
  if (promised && expected.body.size() < static_cast<std::size_t>(*promised)) return Fails(cutShort);
  // Without close_notify only a length that arrived makes the body whole.
  if (!properEnd && !promised) return Fails(cutShort);
  if (kept) expected.body.resize(static_cast<std::size_t>(*kept));
  return expected;
}

}  // namespace vrk::fuzz
