// Whether the clipboard holds a text yet, as another program reading it sees it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/clipboard/tool_process.h"

namespace vrk_posix {

enum class HeldText {
  kShown,  // a reader printed the text
  kTaken,  // the holder took the text, and another copy (a run beside this one) took its place
  kLost,   // the holder ended, or never ran, and the clipboard shows nothing of it
};

// Reads the clipboard with `reader` (a tool that prints it) until it prints `text`, asking
// `holderRuns` between readings whether the copying tool's holder in the background still
// runs. A copying tool ends before its holder has taken the clipboard; this waits for the
// holder, until `deadline` at the latest, and a holder still running then has the text.
// A reader is never ended while a holder may still answer it: a holder whose answer finds the
// reader's window gone dies of it, and the clipboard is left without an owner.
HeldText AwaitHeldText(const std::vector<std::string>& reader, std::string_view text,
                       bool (*holderRuns)(int), int holderWatch, ToolClock::time_point deadline);

}  // namespace vrk_posix
