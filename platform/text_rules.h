// Text comparison and integer conversion as the front end relies on them.
#pragma once

#include <cstddef>

#include "framework/text.h"

namespace vrk {

// Same length, same bytes.
bool SameBytes(const Text& a, const Text& b) noexcept;
// Whole-text comparison that folds only the ASCII letters a-z onto A-Z.
bool SameTextIgnoreCase(const Text& a, const Text& b) noexcept;
// Compares up to `positions` positions, the end of a text counting as a position of its own.
bool SameTextBounded(const Text& a, const Text& b, std::size_t positions) noexcept;

// Leading blanks, then [+|-]decimal or $/x/X/0x/0X hexadecimal; the value must fit 32 bits.
// Anything else raises EConvertError "'%s' is not a valid integer value".
int StrToInt(const Text& text);
int StrToIntDef(const Text& text, int fallback) noexcept;
Text IntToStr(long long value);

}  // namespace vrk
