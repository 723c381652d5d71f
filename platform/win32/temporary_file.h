// A file of a fresh name beside the file its bytes are bound for: ".NAME.PID-N.tmp" in the
// same folder, so that a move puts it in place. It is created with CREATE_NEW, so it is never
// a file that was there before, a user's file of a like name included.
#pragma once

#ifdef _WIN32

#include <string>

#include "platform/winapi.h"

namespace vrk {

// The open file, its name in `name`; INVALID_HANDLE_VALUE, with the thread's last error
// set, when no such file can be made (a missing or read-only folder, say).
HANDLE CreateFileBeside(const std::string& target, DWORD access, DWORD share, DWORD attributes,
                        std::string& name);

}  // namespace vrk

#endif  // _WIN32
