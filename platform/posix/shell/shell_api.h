// The shell: opening a file as a double click would.
#pragma once

#include "platform/posix/win32_types.h"

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, INT showCommand);
