// TNMUUProcessor's alphabets and the encoding of one block into one line.
#include "net/NMUUE.h"

namespace vrk {

namespace {

constexpr char kMimeAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// 0x20 + v, except that 0 is the grave accent: a space would vanish from trimmed lines.
constexpr char kUUAlphabet[] =
    "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";

static_assert(sizeof kMimeAlphabet == 65 && sizeof kUUAlphabet == 65);

}  // namespace

void TNMUUProcessor::LoadAlphabet() {
  alphabet_ = Method == uuCode ? kUUAlphabet : kMimeAlphabet;
}

Text TNMUUProcessor::EncodeBlock(const unsigned char* block, std::int32_t count) const {
  const bool mime = Method != uuCode;
  Text line;
  line.Reserve(static_cast<std::size_t>(count) / 3 * 4 + 8);
  auto put = [&](unsigned value) { line += alphabet_[value & 0x3F]; };

  if (!mime) put(static_cast<unsigned>(count));
  std::int32_t i = 0;
  for (; i + 3 <= count; i += 3) {
    const unsigned b1 = block[i], b2 = block[i + 1], b3 = block[i + 2];
    put(b1 >> 2);
    put((b1 << 4) | (b2 >> 4));
    put((b2 << 2) | (b3 >> 6));
    put(b3);
  }
  const std::int32_t left = count - i;
  if (left == 1) {
    const unsigned b1 = block[i];
    put(b1 >> 2);
    put((b1 << 4) & 0x30);
    if (mime) line += "==";
  } else if (left == 2) {
    const unsigned b1 = block[i], b2 = block[i + 1];
    put(b1 >> 2);
    put(((b1 << 4) & 0x30) | (b2 >> 4));
    put((b2 << 2) & 0x3C);
    if (mime) line += "=";
  }
  line += "\r\n";
  return line;
}

}  // namespace vrk
