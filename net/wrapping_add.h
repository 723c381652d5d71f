// The component's byte counters are signed 32-bit and wrap past 2 GiB instead of overflowing.
#pragma once

#include <cstdint>

namespace vrk {

inline std::int32_t WrappingAdd(std::int32_t counter, long long amount) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) +
                                   static_cast<std::uint32_t>(amount));
}

}  // namespace vrk
