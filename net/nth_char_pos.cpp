#include "net/Psock.h"

namespace vrk {

std::int32_t NthCharPos(const Text& Source, char Ch, std::int32_t N) {
  std::int32_t count = 0;
  const std::int32_t length = static_cast<std::int32_t>(Source.Length());
  const char* bytes = Source.c_str();
  for (std::int32_t i = 0; i < length; ++i) {
    if (bytes[i] == Ch && ++count >= N) return i + 1;
  }
  return length + 1;
}

}  // namespace vrk
