#include "platform/posix/kernel/utf16_text.h"

#include <cstdint>

namespace vrk_posix {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t code) { return code >= 0xD800 && code <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

void AppendUnit(std::string& out, std::uint16_t unit, ByteOrder order) {
  const char high = static_cast<char>(unit >> 8);
  const char low = static_cast<char>(unit & 0xFF);
  if (order == ByteOrder::kLittleEndian) {
    out += low;
    out += high;
  } else {
    out += high;
    out += low;
  }
}

struct Decoded {
  char32_t code;       // kReplacement for a malformed sequence
  std::size_t length;  // bytes taken: a malformed sequence's longest well-formed start, or 1
  bool wellFormed;
};

// One character at `at`, by the table of well-formed UTF-8; with `surrogates`, the
// three-byte forms of U+D800 to U+DFFF count as well-formed.
Decoded DecodeUtf8(std::string_view text, std::size_t at, bool surrogates) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1, true};
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  char32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED && !surrogates) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {kReplacement, 1, false};
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (at + i >= text.size()) return {kReplacement, i, false};
    const unsigned char next = byte(i);
    if (next < low || next > high) return {kReplacement, i, false};
    code = (code << 6) | (next & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  return {code, length, true};
}

}  // namespace

std::string Utf8FromUtf16(std::string_view bytes, ByteOrder order) {
  const std::size_t units = bytes.size() / 2;
  const auto unit = [&](std::size_t i) {
    const auto first = static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]));
    const auto second = static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i + 1]));
    return order == ByteOrder::kLittleEndian ? (second << 8) | first : (first << 8) | second;
  };
  std::string text;
  text.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t code = unit(i);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units) {
      const char32_t next = unit(i + 1);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        AppendUtf8(text, 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(text, code);  // a lone surrogate too
  }
  return text;
}

std::string Utf16FromUtf8(std::string_view text, ByteOrder order) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (std::size_t at = 0; at < text.size();) {
    const Decoded decoded = DecodeUtf8(text, at, true);
    at += decoded.length;
    if (decoded.code < 0x10000) {
      AppendUnit(bytes, static_cast<std::uint16_t>(decoded.code), order);
    } else {
      const char32_t offset = decoded.code - 0x10000;
      AppendUnit(bytes, static_cast<std::uint16_t>(0xD800 + (offset >> 10)), order);
      AppendUnit(bytes, static_cast<std::uint16_t>(0xDC00 + (offset & 0x3FF)), order);
    }
  }
  return bytes;
}

namespace {

// The text with every sequence `replaced` picks (from those DecodeUtf8 reads with
// `surrogates`) turned into U+FFFD, the rest kept as it is.
template <typename Picks>
std::string WithReplacements(std::string_view text, bool surrogates, Picks replaced) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const Decoded decoded = DecodeUtf8(text, at, surrogates);
    if (replaced(decoded)) {
      AppendUtf8(out, kReplacement);
    } else {
      out.append(text, at, decoded.length);
    }
    at += decoded.length;
  }
  return out;
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  return WithReplacements(text, false, [](const Decoded& decoded) { return !decoded.wellFormed; });
}

std::string WithoutLoneSurrogates(std::string_view text) {
  return WithReplacements(text, true, [](const Decoded& decoded) {
    return decoded.wellFormed && IsSurrogate(decoded.code);
  });
}

}  // namespace vrk_posix
