#include "fuzz/tls_script.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "fuzz/fuzz_support.h"

namespace vrk::fuzz {

namespace {

// Enough for bodies of many records and heads past their bound, in all repetitions together.
constexpr std::size_t kMostRepeatedBytes = std::size_t{2} << 20;

// The leading decimal number of `text` (0 without one) and the text after it and one blank.
std::size_t LeadingNumber(std::string_view& text) {
  std::size_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc()) number = 0;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  if (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return number;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Pairs of hex digits; anything else between them is skipped.
std::string HexBytes(std::string_view text) {
  std::string bytes;
  int high = -1;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) continue;
    if (high < 0) {
      high = digit;
    } else {
      bytes += static_cast<char>(high * 16 + digit);
      high = -1;
    }
  }
  return bytes;
}

}  // namespace

TlsScript ReadTlsScript(const std::uint8_t* data, std::size_t size) {
  Fields input(data, size);
  TlsScript script;
  const std::string_view words = input.Line();
  script.headRequest = words.find("HEAD") != std::string_view::npos;
  script.tls12 = words.find("tls1.2") != std::string_view::npos;
  script.tickets = words.find("tickets") != std::string_view::npos;
  script.bodyToFile = words.find("file") != std::string_view::npos;
  using Kind = TlsStep::Kind;
  std::size_t repeated = 0;
  while (!input.AtEnd()) {
    std::string_view line = input.Line();
    if (line.empty()) continue;
    const char letter = line.front();
    line.remove_prefix(1);
    switch (letter) {
      case '>':
        script.steps.push_back({Kind::Plain, std::string(line) + "\n"});
        break;
      case '+':
        script.steps.push_back({Kind::Plain, std::string(line)});
        break;
      case '*': {
        const std::size_t count = LeadingNumber(line);
        if (line.empty()) break;
        const std::size_t times = std::min(count, (kMostRepeatedBytes - repeated) / line.size());
        repeated += times * line.size();
        std::string bytes;
        bytes.reserve(times * line.size());
        for (std::size_t i = 0; i < times; ++i) bytes += line;
        script.steps.push_back({Kind::Plain, std::move(bytes)});
        break;
      }
      case '|':
        script.steps.push_back({Kind::RecordSize, std::string(), LeadingNumber(line)});
        break;
      case '~':
        script.steps.push_back({Kind::Invert, std::string(), LeadingNumber(line)});
        break;
      case '%':
        script.steps.push_back({Kind::CutAfter, std::string(), LeadingNumber(line)});
        break;
      case '!':
        script.steps.push_back({Kind::Raw, HexBytes(line)});
        break;
      case 'k':
        script.steps.push_back({Kind::Rekey, std::string(), 0});
        break;
      case '.':
        script.steps.push_back({Kind::CloseNotify, std::string(), 0});
        break;
      case 'x':
        script.steps.push_back({Kind::Reset, std::string(), 0});
        break;
      default:
        break;
    }
  }
  return script;
}

}  // namespace vrk::fuzz
