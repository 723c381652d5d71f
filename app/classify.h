// Whether a URL names a binary resource, judged by its last four characters.
#pragma once

#include "framework/text.h"

namespace vrk {

// The four characters starting at L-3; a start before the first character is
// taken as the first, so a URL of three or fewer characters is its own ending.
Text UrlEnding(const Text& url);

// Compares the ending with fields 0 .. length/4 of the blank-separated list,
// exactly and case-sensitively; an entry beyond that field is never found.
bool IsBinaryUrl(const Text& url, const Text& binaryEndings);

}  // namespace vrk
