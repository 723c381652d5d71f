// A response head of any bytes, taken line by line as ReadLn gives the lines (line 1 of the
// input: "GET" or "HEAD", the request that was sent, and "*N" after it to fill the head up
// to N bytes below its bound with filler lines and then feed the head's lines once more;
// the rest: the bytes the server sent). No value for a later request carries a CR or LF,
// a kept connection's body length follows the length rule, and the head never passes its
// bound: it fails exactly when a line would take it past.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "net/response_head.h"
#include "net/sock_exceptions.h"

namespace {

using vrk::Text;
using vrk::TResponseHead;

// The whole lines as ReadLn returns them, each with its line feed. What follows the last
// one is never seen: ReadLn reports a close in the middle of a line as an empty line.
std::vector<std::string_view> Lines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  for (std::size_t feed; (feed = bytes.find('\n')) != std::string_view::npos;) {
    lines.push_back(bytes.substr(0, feed + 1));
    bytes.remove_prefix(feed + 1);
  }
  return lines;
}

bool StartsWithFolded(std::string_view line, std::string_view upperPrefix) {
  if (line.size() < upperPrefix.size()) return false;
  for (std::size_t i = 0; i < upperPrefix.size(); ++i) {
    char c = line[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upperPrefix[i]) return false;
  }
  return true;
}

// The rule written out a second way: every value digits alone between blanks, one number,
// within 32 bits.
std::optional<std::int32_t> LengthByTheRule(const std::vector<std::string>& values) {
  std::optional<std::int32_t> length;
  for (const std::string& value : values) {
    const std::size_t first = value.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const std::size_t last = value.find_last_not_of(" \t");
    std::int32_t number = 0;
    const char* begin = value.data() + first;
    const char* end = value.data() + last + 1;
    if (*begin < '0' || *begin > '9') return std::nullopt;
    const auto [stop, error] = std::from_chars(begin, end, number);
    if (error != std::errc() || stop != end || (length && *length != number)) return std::nullopt;
    length = number;
  }
  return length;
}

class Feeder {
 public:
  // False once the head has ended or failed.
  bool Feed(std::string_view line) {
    if (ended_) return false;
    const std::size_t before = head.Bytes();
    try {
      ended_ = !head.Take(Text(line));
    } catch (const vrk::ESockError& error) {
      FUZZ_REQUIRE(error.Message() == vrk::kResponseHeadTooLarge);
      FUZZ_REQUIRE(before + line.size() > vrk::kMaxResponseHeadBytes);
      FUZZ_REQUIRE(head.Bytes() == before);
      ended_ = true;
      tooLarge = true;
      return false;
    }
    FUZZ_REQUIRE(head.Bytes() == before + line.size() && head.Bytes() <= vrk::kMaxResponseHeadBytes);
    if (taken_++ > 0) {
      if (StartsWithFolded(line, "CONTENT-LENGTH:")) {
        std::string value(line.substr(15));
        if (!value.empty() && value.back() == '\n') value.pop_back();
        if (!value.empty() && value.back() == '\r') value.pop_back();
        lengths.push_back(value);
      }
      if (line.find('k') != std::string_view::npos || line.find('K') != std::string_view::npos) {
        mayKeepAlive = true;
      }
    }
    return !ended_;
  }

  TResponseHead head;
  std::vector<std::string> lengths;
  bool mayKeepAlive = false;
  bool tooLarge = false;

 private:
  bool ended_ = false;
  std::size_t taken_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vrk::fuzz::Fields input(data, size);
  const std::string_view mode = input.Line();
  const bool headRequest = mode.starts_with("HEAD");
  const std::size_t star = mode.find('*');
  std::size_t slack = 0;
  const bool refill = star != std::string_view::npos;
  if (refill) std::from_chars(mode.data() + star + 1, mode.data() + mode.size(), slack);
  const std::vector<std::string_view> lines = Lines(input.Rest());

  Feeder feeder;
  bool open = true;
  for (std::size_t i = 0; open && i < lines.size(); ++i) open = feeder.Feed(lines[i]);
  if (open && refill && !lines.empty()) {
    // Up to `slack` bytes below the bound, then the head's own lines cross it, or not.
    const std::size_t target = vrk::kMaxResponseHeadBytes - std::min(slack, vrk::kMaxResponseHeadBytes);
    while (open && feeder.head.Bytes() + 2 <= target) {
      const std::size_t left = target - feeder.head.Bytes();
      const std::size_t length = left >= 60002 ? 60000 : left;
      open = feeder.Feed(std::string(length - 1, 'X') + "\n");
    }
    for (std::size_t i = 1; open && i < lines.size(); ++i) open = feeder.Feed(lines[i]);
  }
  if (open) feeder.Feed({});  // the peer closed

  const TResponseHead& head = feeder.head;
  for (const Text& value : {head.Cookie(), head.Location().value_or(Text())}) {
    FUZZ_REQUIRE(value.View().find_first_of("\r\n") == std::string_view::npos);
  }
  FUZZ_REQUIRE(head.HasStatusLine() == !lines.empty());
  FUZZ_REQUIRE(!head.KeepAlive() || feeder.mayKeepAlive);

  const std::optional<std::int32_t> kept = head.KeptBodyLength(headRequest);
  const std::int16_t status = head.Status();
  const bool bodiless = headRequest || (status >= 100 && status <= 199) || status == 204 || status == 304;
  if (!head.KeepAlive()) {
    FUZZ_REQUIRE(!kept);
  } else if (bodiless) {
    FUZZ_REQUIRE(kept == 0);
  } else {
    FUZZ_REQUIRE(kept == LengthByTheRule(feeder.lengths));
  }
  return 0;
}
