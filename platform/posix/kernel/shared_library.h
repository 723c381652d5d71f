// Libraries the tool loads only when a run needs them (the transfer library, TLS), so that a
// machine without them still runs everything else.
#pragma once

#include <dlfcn.h>

#include "platform/posix/win32_types.h"

namespace vrk_posix {

// Loads `name` for the rest of the process, with the error stream sent nowhere meanwhile: the
// tool's error stream holds its boxes alone, and a library that initialises itself as it loads
// may write there when that fails (one TLS library does when memory is short). On failure
// errno tells why: EMFILE, ENFILE or ENOMEM for a limit that stopped it loading.
void* OpenQuietly(const char* name);

// The Win32 error of a library that did not load with `error` (errno after OpenQuietly):
// the limit that stopped it, as the system tells it, else "the module could not be found".
DWORD LoadFailure(int error);

// The field must have the type of the function of the headers, so a signature that differs
// from the library's own does not build.
template <typename Function>
bool Resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  return function != nullptr;
}

}  // namespace vrk_posix
