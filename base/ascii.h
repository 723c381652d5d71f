// Byte rules that every layer shares: case folding of ASCII letters only (the texts are
// bytes in the user's code page, and other letters must stay as they are), blanks, hex
// digits and the zero byte that ends a name for the system. No dependencies, so that the
// emulation below the platform layer may use it as well as the layers above.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace vrk::ascii {

constexpr char Upper(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char Lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Negative, zero or positive as `a` sorts before, with or after `b` when ASCII letters are
// folded to upper case; bytes compare unsigned.
constexpr int CompareIgnoringCase(std::string_view a, std::string_view b) noexcept {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(Upper(a[i]));
    const auto y = static_cast<unsigned char>(Upper(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

constexpr bool EqualIgnoringCase(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && CompareIgnoringCase(a, b) == 0;
}

// Whether `text` begins with `prefix`, ASCII letters folded.
constexpr bool StartsIgnoringCase(std::string_view text, std::string_view prefix) noexcept {
  return text.size() >= prefix.size() && EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// A space or a tab: what surrounds names and values in heads and settings files.
constexpr bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

constexpr std::string_view TrimBlanks(std::string_view text) noexcept {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The value of a hexadecimal digit of either case, -1 for any other byte.
constexpr int HexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The system takes names zero-terminated: a zero byte inside one would make it act on
// another, shorter name.
inline bool HasZeroByte(std::string_view text) noexcept {
  return !text.empty() && std::memchr(text.data(), 0, text.size()) != nullptr;
}

}  // namespace vrk::ascii
