// The system's own words for an error code, as the tool shows them in its boxes.
#pragma once

#include "framework/text.h"
#include "platform/winapi.h"

namespace vrk {

// The text of the system's message table for `code`, without the blanks, control characters
// and full stops at its end; empty when the system has none.
Text SystemMessage(DWORD code);

}  // namespace vrk
