#include "tests/support/host.h"

#include <stdlib.h>

namespace vrk_test {

std::filesystem::path TemporaryFolder() { return std::filesystem::temp_directory_path(); }

bool RunningUnderWine() { return false; }

std::string NativePath(const std::string& buildPath) { return buildPath; }

void SetVariable(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    setenv(name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
}

}  // namespace vrk_test
