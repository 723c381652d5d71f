// The emulation's own words for an error it just gave, where the system's fixed text would
// hide the reason (a clipboard tool's complaint): FormatMessageA gives them for that code.
#pragma once

#include <string>

#include "platform/posix/win32_types.h"

namespace vrk_posix {

// Empty `text` removes the detail: the code has its usual text again (or none).
void SetSystemTextDetail(DWORD code, std::string text);

}  // namespace vrk_posix
