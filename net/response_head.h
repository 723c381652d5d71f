// The response head as the HTTP client reads it, line by line as ReadLn gives the lines:
// the status, the cookie and place that later requests carry, the announced length and
// whether the peer keeps the connection open. No socket here, so any bytes can be tried.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "framework/text.h"

namespace vrk {

// A head may hold this many bytes at most; a peer that sends more is cut off.
inline constexpr std::size_t kMaxResponseHeadBytes = std::size_t{1} << 20;
inline constexpr const char* kResponseHeadTooLarge = "Response header too large";
// A response that the peer's close cut short: its status line (or no byte at all), its head
// before the empty line that ends it, or its body before the length the head announced.
inline constexpr const char* kResponseCutShort = "Connection closed before the whole response arrived";

// The length that the Content-Length values of one head announce, each value being the
// text after the colon without the line end. It counts only when every value is decimal
// digits alone (blanks and tabs around allowed), all values are the same number, and that
// number fits 32 bits; otherwise, and when there is no value, there is none.
std::optional<std::int32_t> ValidContentLength(const std::vector<Text>& values);

// A value taken from a response up to its first CR or LF: nothing after one may reach a
// request, where it would start a line of its own.
Text RequestSafeValue(std::string_view value);

// True when a cookie, as a Set-Cookie value carries it, has the Secure attribute (any letter
// case): such a cookie goes over TLS alone.
bool SecureOnlyCookie(std::string_view cookie);

class TResponseHead {
 public:
  // Takes the next line, its line end included; an empty line means the peer closed, and
  // `cutOff` then holds what came of the line before the close. Returns false once the
  // line ended the head. Raises ESockError with kResponseHeadTooLarge, without taking the
  // line, when it would make the head longer than kMaxResponseHeadBytes.
  bool Take(const Text& line, std::string_view cutOff = {});

  // The length that ends the body on a connection the peer keeps open; none when the body
  // runs until the close. A head without a keep-alive token has none; on a kept
  // connection the answer to HEAD, and any 1xx, 204 or 304 answer, has no body at all.
  std::optional<std::int32_t> KeptBodyLength(bool headRequest) const;
  // The length the body must reach, however it ends: 0 where there is no body (the answer
  // to HEAD, any 1xx, 204 or 304), else the valid Content-Length; none without one.
  std::optional<std::int32_t> PromisedBodyLength(bool headRequest) const;

  bool HasStatusLine() const noexcept { return hasStatusLine_; }
  std::int16_t Status() const noexcept { return status_; }
  // The last Set-Cookie value (empty without one) and the last Location value.
  const Text& Cookie() const noexcept { return cookie_; }
  const std::optional<Text>& Location() const noexcept { return location_; }
  // The first run of digits of the last Content-Length line, 0 when it gives none.
  std::int32_t AnnouncedLength() const noexcept { return announcedLength_; }
  bool KeepAlive() const noexcept { return keepAlive_; }
  // The peer closed before the head's empty line: after the head had begun, within the
  // status line, or before sending anything. Only a first line that is no status line
  // (an answer without a head) may be cut by the close and still count.
  bool CutShort() const noexcept { return cutShort_; }
  // The value of every line that names Content-Length, in order.
  const std::vector<Text>& LengthValues() const noexcept { return lengthValues_; }
  std::size_t Bytes() const noexcept { return bytes_; }

 private:
  void TakeField(const Text& line);

  bool started_ = false;
  bool hasStatusLine_ = false;
  std::int16_t status_ = 0;
  Text cookie_;
  std::optional<Text> location_;
  std::int32_t announcedLength_ = 0;
  bool keepAlive_ = false;
  bool cutShort_ = false;
  std::vector<Text> lengthValues_;
  std::size_t bytes_ = 0;
};

}  // namespace vrk
