// UTF-16 profile files held as UTF-8 text while they are read and edited. UTF-8 cannot carry a
// lone surrogate; one is held in the three-byte form UTF-8 would give it, so that every unit
// read comes out again as it was when the file is written back.
#pragma once

#include <string>
#include <string_view>

namespace vrk_posix {

enum class ByteOrder { kLittleEndian, kBigEndian };

// Whole units only: an odd last byte is the caller's to keep.
std::string Utf8FromUtf16(std::string_view bytes, ByteOrder order);
// The inverse of Utf8FromUtf16; what is no UTF-8 (nor a lone surrogate's form) becomes U+FFFD.
std::string Utf16FromUtf8(std::string_view text, ByteOrder order);

// Valid UTF-8, as text bound for a UTF-16 file is converted on Windows: each malformed
// sequence, a lone surrogate's form among them, becomes U+FFFD.
std::string ValidUtf8(std::string_view text);
// Text held from a UTF-16 file as a caller reads it: each lone surrogate becomes U+FFFD.
std::string WithoutLoneSurrogates(std::string_view text);

}  // namespace vrk_posix
