// Whether the clipboard holds a text yet, as another program reading it sees it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/clipboard/tool_process.h"

namespace vrk_posix {

// Reads the clipboard with `reader` (a tool that prints it) until it prints `text`, and
// false when it still did not by `deadline`. A copying tool ends before its holder in the
// background has taken the clipboard; this waits for the holder.
bool AwaitHeldText(const std::vector<std::string>& reader, std::string_view text,
                   ToolClock::time_point deadline);

}  // namespace vrk_posix
