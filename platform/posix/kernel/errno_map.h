// Win32 error codes for the errno values the file calls meet.
#pragma once

#include "platform/posix/win32.h"

namespace vrk_posix {

DWORD Win32ErrorFromErrno(int error) noexcept;
// Sets the thread's last error from an errno value.
void SetLastErrorFromErrno(int error) noexcept;

}  // namespace vrk_posix
