// Form data of any bytes through the URL encoder: letters and digits stay, a blank becomes
// "+", every other byte "%" and two upper-case hex digits; decoding gives the bytes back,
// the encoding never fails, and Encode gives what EncodeString gives for InputString.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "net/NMURL.h"

namespace {

using vrk::Text;

bool IsAlphanumeric(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;  // lower-case digits are never written
}

// The bytes an encoding stands for; every escape must be whole and upper-case.
std::string Decoded(std::string_view encoded) {
  std::string bytes;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c == '+') {
      bytes += ' ';
    } else if (c == '%') {
      FUZZ_REQUIRE(i + 2 < encoded.size());
      const int high = HexValue(encoded[i + 1]);
      const int low = HexValue(encoded[i + 2]);
      FUZZ_REQUIRE(high >= 0 && low >= 0);
      const char byte = static_cast<char>(high * 16 + low);
      FUZZ_REQUIRE(!IsAlphanumeric(byte) && byte != ' ');  // those are never escaped
      bytes += byte;
      i += 2;
    } else {
      FUZZ_REQUIRE(IsAlphanumeric(c));
      bytes += c;
    }
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text text(reinterpret_cast<const char*>(data), size);
  vrk::TNMURL encoder(nullptr);
  encoder.OnError = [](vrk::TComponent*, Text, Text) { FUZZ_REQUIRE(!"encoding failed"); };

  const Text encoded = encoder.EncodeString(text);
  std::size_t escapes = 0;
  for (char c : text.View()) escapes += IsAlphanumeric(c) || c == ' ' ? 0 : 1;
  FUZZ_REQUIRE(encoded.Length() == text.Length() + 2 * escapes);
  FUZZ_REQUIRE(Decoded(encoded.View()) == text.View());

  encoder.InputString = text;
  FUZZ_REQUIRE(encoder.Encode() == encoded && encoder.InputString == text);
  return 0;
}
