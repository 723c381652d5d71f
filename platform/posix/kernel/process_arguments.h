// The process's arguments as the entry point hands them over: the emulated GetCommandLineA
// builds its Windows-style line from them. Not a Win32 call; only main uses it.
#pragma once

namespace vrk_posix {

// `arguments` holds `count` texts, the program's name first, as main receives them; they are
// kept, not copied, so they must last as long as the process. Must come before the first
// GetCommandLineA, which builds the line once; later calls change nothing.
void SetProcessArguments(int count, const char* const* arguments);

}  // namespace vrk_posix
