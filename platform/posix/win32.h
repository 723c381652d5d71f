// Emulation of the Win32 subset that the tool uses, for POSIX systems: the shared types,
// then each library's calls, declared in the folder that implements them.
#pragma once

#include "platform/posix/win32_types.h"

#include "platform/posix/kernel/kernel_api.h"
#include "platform/posix/registry/registry_api.h"
#include "platform/posix/shell/shell_api.h"
#include "platform/posix/sockets/sockets_api.h"
#include "platform/posix/urlmon/urlmon_api.h"
#include "platform/posix/windows/windows_api.h"
