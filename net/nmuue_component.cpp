// TNMUUProcessor: construction and the encoding loop over the streams.
#include "net/NMUUE.h"

#include "framework/text.h"

namespace vrk {

namespace {

// The UU line that ends the output: zero bytes, written as the grave accent.
constexpr char kUUEndLine[] = "`\r\n";

}  // namespace

TNMUUProcessor::TNMUUProcessor(TComponent* owner) : TComponent(owner) {}

void TNMUUProcessor::Encode() {
  InputStream->SetPosition(0);
  OnBeginEncode(this);

  auto finish = [this] {
    OutputStream->SetPosition(0);
    OnEndEncode(this);
  };
  try {
    LoadAlphabet();
    unsigned char block[kBlockSize];
    while (InputStream->Position() < InputStream->Size()) {
      const std::int32_t count = InputStream->Read(block, kBlockSize);
      // A stream that reports bytes left but yields none would otherwise be read forever.
      if (count <= 0) break;
      const Text line = EncodeBlock(block, count);
      // All or nothing: a short write raises instead of leaving a silently cut line.
      OutputStream->WriteBuffer(line.c_str(), static_cast<std::int32_t>(line.Length()));
    }
    if (Method == uuCode) OutputStream->WriteBuffer(kUUEndLine, sizeof kUUEndLine - 1);
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

}  // namespace vrk
