// TNMURL::EncodeString: the escaping of form data.
#include "framework/exceptions.h"
#include "net/NMURL.h"

namespace vrk {

namespace {

bool PassesUnchanged(unsigned char byte) {
  return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= 'a' && byte <= 'z');
}

void AppendEncoded(Text& result, unsigned char byte) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  if (PassesUnchanged(byte)) {
    result += static_cast<char>(byte);
  } else if (byte == ' ') {
    result += '+';
  } else {
    const char escape[3] = {'%', kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
    result.Append(escape, sizeof escape);
  }
}

}  // namespace

Text TNMURL::EncodeString(const Text& text) {
  try {
    Text result;
    result.Reserve(text.Length());
    const char* bytes = text.c_str();
    for (std::size_t i = 0; i < text.Length(); ++i) {
      AppendEncoded(result, static_cast<unsigned char>(bytes[i]));
    }
    return result;
  } catch (const Exception& failure) {
    // The partial result is dropped; the caller gets its text back unescaped.
    OnError(this, "Error during encode", failure.Message());
    return text;
  }
}

}  // namespace vrk
