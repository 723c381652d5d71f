// The process command line, split afresh on every request.
#pragma once

#include <vector>

#include "framework/text.h"

namespace vrk {

// Tokens of a raw command line by the splitting rule, token 0 (the program name, empty
// when it is written as "") first, then the parameters up to but not including the first
// empty token. A line of separators alone has no tokens.
std::vector<Text> SplitCommandLine(const char* raw);

// Parameter 0 is the running executable's full path; parameter N (N >= 1) is
// token N of GetCommandLineA, or the empty text past the last one.
Text ParamStr(int index);
// The number of tokens after the program name before the first empty one.
int ParamCount();

// Full path of the running executable, however long; empty when it cannot be read whole.
Text ModuleFileName();

}  // namespace vrk
