// The Win32 subset the tool uses: the real headers on Windows, our emulation elsewhere.
// Everything above this layer includes this file, never the emulation directly.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock.h>
#include <windows.h>
#include <shellapi.h>
#include <objbase.h>
#include <urlmon.h>
#else
#include "platform/posix/win32.h"
#endif

#include <string_view>

namespace vrk {

// The bytes that end a folder or drive in a file name; the emulation takes "/" as well.
#ifdef _WIN32
inline constexpr std::string_view kPathSeparators = "\\:";
#else
inline constexpr std::string_view kPathSeparators = "\\:/";
#endif

}  // namespace vrk
