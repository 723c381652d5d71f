// The built vrk.exe as a Windows program sees it.
#pragma once
#ifdef _WIN32

#include <string>

namespace vrk::testing {

// The cross-build names the executable by its host path; Wine shows the host's root as Z:.
inline std::string BuiltExecutable() {
  std::string path = VRK_EXECUTABLE;
  if (path.empty() || path[0] != '/') return path;
  path.insert(0, "Z:");
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

}  // namespace vrk::testing

#endif
