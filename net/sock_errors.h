// Texts for the platform's socket error codes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/text.h"

namespace vrk {

struct SocketErrorEntry {
  std::int32_t Code;
  const char* Text;  // at most 51 characters
};

// The 50 known codes in ascending order.
extern const SocketErrorEntry SocketErrorTable[];
extern const std::size_t SocketErrorTableSize;

// "CODE:text" for a known code, "Unknown Error No. CODE" otherwise, empty for 0.
Text SocketErrorMessage(std::uint16_t code);

}  // namespace vrk
