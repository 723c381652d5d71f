// A file of a fresh name beside the file its bytes are bound for: ".NAME.PID-N.tmp" in the
// same folder, so that a move puts it in place. It is created with CREATE_NEW, so it is never
// a file that was there before, a user's file of a like name included. Making one removes
// those that runs no longer running left for the same target.
#pragma once

#ifdef _WIN32

#include <string>

#include "platform/winapi.h"

namespace vrk {

// The open file, its name in `name`; INVALID_HANDLE_VALUE, with the thread's last error
// set, when no such file can be made (a missing or read-only folder, say).
HANDLE CreateFileBeside(const std::string& target, DWORD access, DWORD share, DWORD attributes,
                        std::string& name);

// Flushes a temporary file that something else wrote by its name and moves it over `target`,
// writing through, so that the target is the whole new file on the disk when this returns;
// the temporary is deleted when that fails. False, with the last error set, on failure.
bool PutInPlace(const std::string& temporary, const std::string& target);

}  // namespace vrk

#endif  // _WIN32
