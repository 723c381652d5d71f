// Field names compare by the platform's collation for the user's locale, case ignored.
#include <cstddef>
#include <limits>

#include "net/NMExtstr.h"
#include "platform/winapi.h"

namespace vrk {

namespace {

int CountOf(const Text& text) {
  constexpr std::size_t kLimit = static_cast<std::size_t>(std::numeric_limits<int>::max());
  return static_cast<int>(text.Length() < kLimit ? text.Length() : kLimit);
}

}  // namespace

int CompareFieldNames(const Text& a, const Text& b) {
  // The counts are explicit, so zero bytes inside a name take part in the comparison.
  const int result = CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), CountOf(a),
                                    b.c_str(), CountOf(b));
  // Only a refused call gives 0; the list's own case-insensitive order stands in then.
  if (result == 0) return TStringList::CompareLines(a, b);
  return result - CSTR_EQUAL;
}

}  // namespace vrk
