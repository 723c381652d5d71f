// CompareStringA over the C/UTF-8 user locale, and that locale's code page.
#include <cstring>

#include "base/ascii.h"
#include "platform/posix/win32.h"

namespace {

unsigned char Folded(char c, bool ignoreCase) {
  auto byte = static_cast<unsigned char>(c);
  return ignoreCase ? static_cast<unsigned char>(vrk::ascii::Upper(c)) : byte;
}

}  // namespace

int CompareStringA(LCID, DWORD flags, LPCSTR first, int firstCount, LPCSTR second,
                   int secondCount) {
  if (first == nullptr || second == nullptr || firstCount < -1 || secondCount < -1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::size_t a = firstCount == -1 ? std::strlen(first) : static_cast<std::size_t>(firstCount);
  const std::size_t b =
      secondCount == -1 ? std::strlen(second) : static_cast<std::size_t>(secondCount);
  const bool ignoreCase = (flags & NORM_IGNORECASE) != 0;
  const std::size_t common = a < b ? a : b;
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char x = Folded(first[i], ignoreCase);
    const unsigned char y = Folded(second[i], ignoreCase);
    if (x != y) return x < y ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
  }
  if (a == b) return CSTR_EQUAL;
  return a < b ? CSTR_LESS_THAN : CSTR_GREATER_THAN;
}

UINT GetACP() { return CP_UTF8; }
