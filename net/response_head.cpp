// TResponseHead: the lines of a response head and what the client takes from them.
#include "net/response_head.h"

#include <limits>
#include <string>
#include <string_view>

#include "base/ascii.h"
#include "net/sock_exceptions.h"
#include "platform/text_rules.h"

namespace vrk {

namespace {

// The first blank-separated word of a line in upper case, as far as it can be one of the
// names looked for; a longer word comes back cut, so that it matches none of them and a
// long line costs no copy.
std::string FieldName(std::string_view line) {
  constexpr std::size_t kLongestName = sizeof "PROXY-CONNECTION:" - 1;
  std::string name;
  for (std::size_t i = 0; i < line.size() && line[i] != ' ' && i <= kLongestName; ++i) {
    name += ascii::Upper(line[i]);
  }
  return name;
}

// The line from a 0-based offset on; empty when the line is shorter.
std::string_view After(const Text& line, std::size_t offset) {
  std::string_view rest = line.View();
  rest.remove_prefix(offset < rest.size() ? offset : rest.size());
  return rest;
}

// The line from a 0-based offset on, without its line end.
std::string_view ValueFrom(const Text& line, std::size_t offset) {
  std::string_view value = After(line, offset);
  if (!value.empty() && value.back() == '\n') value.remove_suffix(1);
  if (!value.empty() && value.back() == '\r') value.remove_suffix(1);
  return value;
}

bool IsHeadEnd(const Text& line) { return line.IsEmpty() || line == "\n" || line == "\r\n"; }

// Nothing at all, or bytes that are or begin a status line ("HTTP/" or a beginning of it):
// the close cut the answer short. Anything else is a body sent without a head.
bool CutsTheStatusLine(std::string_view cutOff) {
  constexpr std::string_view kVersion = "HTTP/";
  return cutOff.substr(0, kVersion.size()) == kVersion.substr(0, cutOff.size());
}

// True when one of the comma-separated tokens is keep-alive, in any letter case.
bool NamesKeepAlive(std::string_view value) {
  std::size_t start = 0;
  while (start <= value.size()) {
    std::size_t end = value.find(',', start);
    if (end == std::string_view::npos) end = value.size();
    if (ascii::EqualIgnoringCase(ascii::TrimBlanks(value.substr(start, end - start)), "keep-alive")) return true;
    start = end + 1;
  }
  return false;
}

// The first run of digits from a 0-based offset on as a number; 0 when there is none or it
// does not fit 32 bits.
std::int32_t FirstDigitRun(std::string_view line, std::size_t offset) {
  const std::size_t first = line.find_first_of("0123456789", offset);
  if (first == std::string_view::npos) return 0;
  std::size_t end = line.find_first_not_of("0123456789", first);
  if (end == std::string_view::npos) end = line.size();
  return StrToIntDef(Text(line.substr(first, end - first)), 0);
}

// Digits alone, blanks around allowed, within 32 bits.
std::optional<std::int32_t> DecimalValue(std::string_view text) {
  text = ascii::TrimBlanks(text);
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  }
  return static_cast<std::int32_t>(value);
}

constexpr std::string_view kLengthName = "CONTENT-LENGTH:";

}  // namespace

std::optional<std::int32_t> ValidContentLength(const std::vector<Text>& values) {
  std::optional<std::int32_t> length;
  for (const Text& value : values) {
    const std::optional<std::int32_t> number = DecimalValue(value.View());
    if (!number || (length && *length != *number)) return std::nullopt;
    length = number;
  }
  return length;
}

Text RequestSafeValue(std::string_view value) {
  return Text(value.substr(0, value.find_first_of("\r\n")));
}

bool SecureOnlyCookie(std::string_view cookie) {
  // The attributes follow the name=value pair, each after a semicolon.
  std::size_t start = cookie.find(';');
  while (start != std::string_view::npos) {
    const std::size_t end = cookie.find(';', start + 1);
    const std::string_view attribute = cookie.substr(start + 1, end == std::string_view::npos ? end : end - start - 1);
    if (ascii::EqualIgnoringCase(ascii::TrimBlanks(attribute), "Secure")) return true;
    start = end;
  }
  return false;
}

bool TResponseHead::Take(const Text& line, std::string_view cutOff) {
  if (line.Length() > kMaxResponseHeadBytes - bytes_) throw ESockError(kResponseHeadTooLarge);
  bytes_ += line.Length();
  if (!started_) {
    started_ = true;
    if (line.IsEmpty()) {
      cutShort_ = CutsTheStatusLine(cutOff);
      return false;
    }
    hasStatusLine_ = true;
    status_ = static_cast<std::int16_t>(StrToIntDef(Field(line, ' ', 2), 0) & 0xFFFF);
    return true;
  }
  cutShort_ = line.IsEmpty();
  TakeField(line);
  return !IsHeadEnd(line);
}

void TResponseHead::TakeField(const Text& line) {
  const std::string name = FieldName(line.View());
  // Any line that names the length takes part in the length rule, written with a blank
  // after the colon or not: a peer may read it either way.
  if (ascii::StartsIgnoringCase(line.View(), kLengthName)) lengthValues_.emplace_back(ValueFrom(line, kLengthName.size()));
  if (name == "SET-COOKIE:") {
    cookie_ = RequestSafeValue(After(line, 12));
  } else if (name == "LOCATION:") {
    location_ = RequestSafeValue(After(line, 10));
  } else if (name == kLengthName) {
    announcedLength_ = FirstDigitRun(line.View(), kLengthName.size());
  } else if (name == "CONNECTION:" || name == "PROXY-CONNECTION:") {
    if (NamesKeepAlive(ValueFrom(line, name.size()))) keepAlive_ = true;
  }
}

std::optional<std::int32_t> TResponseHead::KeptBodyLength(bool headRequest) const {
  if (!keepAlive_) return std::nullopt;
  return PromisedBodyLength(headRequest);
}

std::optional<std::int32_t> TResponseHead::PromisedBodyLength(bool headRequest) const {
  if (headRequest || (status_ >= 100 && status_ <= 199) || status_ == 204 || status_ == 304) return 0;
  return ValidContentLength(lengthValues_);
}

}  // namespace vrk
