// The desktop's clipboard tools, run as children of the tool: each started in a session of its
// own with only the descriptors it is given, and waited for within a time limit.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace vrk_posix {

using ToolClock = std::chrono::steady_clock;

// Starts `arguments` (the program's full path first) with `input`, `output` and `errors` as
// its standard streams (-1: /dev/null); -1 when it cannot start.
pid_t StartTool(const std::vector<std::string>& arguments, int input, int output, int errors = -1);

// Whether the child ended with status 0 by `deadline`; one still running then is killed.
// Either way it is reaped.
bool ToolSucceeded(pid_t child, ToolClock::time_point deadline);

}  // namespace vrk_posix
