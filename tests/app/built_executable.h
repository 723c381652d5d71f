// The built vrk.exe as a Windows program sees it.
#pragma once
#ifdef _WIN32

#include <string>

namespace vrk::testing {

// The cross-build names its programs by their host paths; Wine shows the host's root as Z:.
inline std::string WindowsPath(std::string path) {
  if (path.empty() || path[0] != '/') return path;
  path.insert(0, "Z:");
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

inline std::string BuiltExecutable() { return WindowsPath(VRK_EXECUTABLE); }

}  // namespace vrk::testing

#endif
