// NMUUE: TNMUUProcessor encodes the whole of one stream into CR LF ended lines of
// printable text in another stream, in Base64 (uuMime) or in UU lines (uuCode).
#pragma once

#include <cstdint>

#include "framework/component.h"
#include "framework/events.h"
#include "framework/streams.h"

namespace vrk {

enum UUMethods : std::uint8_t { uuMime = 0, uuCode = 1 };

class TNMUUProcessor : public TComponent {
 public:
  // Input bytes per output line.
  static constexpr std::int32_t kBlockSize = 45;

  explicit TNMUUProcessor(TComponent* owner);

  TNotifyEvent OnBeginEncode;
  TNotifyEvent OnEndEncode;
  // Kept for stored forms; nothing raises them since there is no decoding.
  TNotifyEvent OnBeginDecode;
  TNotifyEvent OnEndDecode;

  // Both owned by the caller and set before Encode.
  TStream* InputStream = nullptr;
  TStream* OutputStream = nullptr;
  UUMethods Method = uuMime;

  // Encodes InputStream from its start into OutputStream at its position. Afterwards
  // OutputStream stands at 0 and InputStream at its end; OnEndEncode is raised and the
  // output rewound even when a read or write fails (the failure then propagates).
  void Encode();

 private:
  void LoadAlphabet();
  // Line for one block of at most kBlockSize bytes, CR LF included.
  Text EncodeBlock(const unsigned char* block, std::int32_t count) const;

  const char* alphabet_ = nullptr;  // the alphabet of Method, loaded by each Encode
};

}  // namespace vrk
