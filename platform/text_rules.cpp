#include "platform/text_rules.h"

#include <charconv>
#include <cstdint>
#include <optional>

#include "base/ascii.h"
#include "framework/exceptions.h"
#include "platform/winapi.h"

namespace vrk {

namespace {

// The whole grammar of an integer text; nothing is accepted past the digits,
// a zero byte included.
std::optional<int> ParseInteger(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i == s.size()) return std::nullopt;

  std::size_t hexStart = 0;
  if (s[i] == '$' || s[i] == 'x' || s[i] == 'X') {
    hexStart = i + 1;
  } else if (s[i] == '0' && i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hexStart = i + 2;
  }
  if (hexStart != 0) {
    if (hexStart == s.size()) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t j = hexStart; j < s.size(); ++j) {
      int digit = ascii::HexDigitValue(s[j]);
      if (digit < 0) return std::nullopt;
      value = value * 16 + static_cast<std::uint64_t>(digit);
      if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    // Eight hexadecimal digits are the 32-bit pattern, so $FFFFFFFF is -1.
    return static_cast<int>(static_cast<std::uint32_t>(value));
  }

  bool negative = false;
  if (s[i] == '-' || s[i] == '+') {
    negative = s[i] == '-';
    ++i;
  }
  if (i == s.size()) return std::nullopt;
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  std::int64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
    magnitude = magnitude * 10 + (s[i] - '0');
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<int>(negative ? -magnitude : magnitude);
}

}  // namespace

bool SameBytes(const Text& a, const Text& b) noexcept { return a.View() == b.View(); }

bool SameTextIgnoreCase(const Text& a, const Text& b) noexcept {
  return ascii::EqualIgnoringCase(a.View(), b.View());
}

namespace {

// The bytes of the character at the start of `text`: one byte, or in UTF-8 a lead byte and
// the continuation bytes after it.
std::size_t CharacterLength(std::string_view text, bool utf8) noexcept {
  std::size_t length = 1;
  if (utf8) {
    while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) ++length;
  }
  return length;
}

}  // namespace

bool SameTextBounded(const Text& a, const Text& b, std::size_t positions) noexcept {
  std::string_view x = a.View();
  std::string_view y = b.View();
  // A position is a character: a byte in a code page of one byte a letter, as on Windows.
  const bool utf8 = GetACP() == CP_UTF8;
  for (std::size_t i = 0; i < positions; ++i) {
    // The end is a position of its own: it matches only the other text's end.
    if (x.empty() || y.empty()) return x.empty() == y.empty();
    const std::size_t xLength = CharacterLength(x, utf8);
    const std::size_t yLength = CharacterLength(y, utf8);
    if (xLength != yLength) return false;
    for (std::size_t j = 0; j < xLength; ++j) {
      if (ascii::Upper(x[j]) != ascii::Upper(y[j])) return false;
    }
    x.remove_prefix(xLength);
    y.remove_prefix(yLength);
  }
  return true;
}

int StrToInt(const Text& text) {
  std::optional<int> value = ParseInteger(text.View());
  if (!value) throw EConvertError(FormatText("'%s' is not a valid integer value", {text}));
  return *value;
}

int StrToIntDef(const Text& text, int fallback) noexcept {
  return ParseInteger(text.View()).value_or(fallback);
}

Text IntToStr(long long value) {
  char digits[24];
  auto result = std::to_chars(digits, digits + sizeof(digits), value);
  return Text(digits, static_cast<std::size_t>(result.ptr - digits));
}

}  // namespace vrk
