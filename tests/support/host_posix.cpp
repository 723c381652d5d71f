#include "tests/support/host.h"

#include <stdlib.h>
#include <unistd.h>

namespace vrk_test {

std::filesystem::path TemporaryFolder() { return std::filesystem::temp_directory_path(); }

bool RunningUnderWine() { return false; }

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

std::string NativePath(const std::string& buildPath) { return buildPath; }

std::filesystem::path FsPath(const std::string& text) { return text; }
std::string PathText(const std::filesystem::path& path) { return path.string(); }

void SetVariable(const std::string& name, const std::optional<std::string>& value) {
  if (value) {
    setenv(name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
}

}  // namespace vrk_test
