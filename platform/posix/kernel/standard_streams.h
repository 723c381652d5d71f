// The standard streams a program may be started without. Not a Win32 call; only main uses it.
#pragma once

namespace vrk_posix {

// Opens the null device on each of descriptors 0 to 2 that is closed, so that no file the
// process opens later takes its number: a text written to "/dev/stdout" would otherwise go
// into that file. Must come before anything opens a descriptor.
void OpenClosedStandardStreams();

}  // namespace vrk_posix
