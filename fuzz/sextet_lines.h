// Decoding of the encoder's lines, written apart from it so that a fuzz target can check
// the encoder by a round trip: each group of four characters stands for three bytes, and
// a last group of two or three for one or two, with the unused bits zero.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace vrk::fuzz {

// Appends the bytes that `characters` (of the 64-character `alphabet`) stand for.
inline void AppendDecodedSextets(std::string_view characters, std::string_view alphabet,
                                 std::string& bytes) {
  FUZZ_REQUIRE(characters.size() % 4 != 1);
  unsigned buffer = 0;
  int bits = 0;
  for (char c : characters) {
    const std::size_t value = alphabet.find(c);
    FUZZ_REQUIRE(value != std::string_view::npos && value < 64);
    buffer = (buffer << 6 | static_cast<unsigned>(value)) & 0xFFF;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes += static_cast<char>(buffer >> bits & 0xFF);
    }
  }
  FUZZ_REQUIRE((buffer & ((1u << bits) - 1)) == 0);
}

// The lines of `text`, each of which must end in CR LF and hold no other line end.
inline std::vector<std::string_view> CrLfLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find("\r\n");
    FUZZ_REQUIRE(end != std::string_view::npos);
    const std::string_view line = text.substr(0, end);
    FUZZ_REQUIRE(line.find_first_of("\r\n") == std::string_view::npos);
    lines.push_back(line);
    text.remove_prefix(end + 2);
  }
  return lines;
}

}  // namespace vrk::fuzz
