// What differs between the system the POSIX build runs on and Windows (or Wine), as far as
// the tests need it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vrk_test {

// The folder for temporary files; on Windows in its long form, so that paths built from it
// equal those a program reports of itself.
std::filesystem::path TemporaryFolder();

// Whether a Windows test program runs under Wine, for the few places where Wine is known to
// differ from Windows (the tests there say so and skip).
bool RunningUnderWine();

// This test program's process number, as the system's process calls know it.
unsigned long CurrentProcessId();

// A file as the build names it, by its path on the build machine, in the form this program
// opens it: under Wine the machine's root is a drive of its own.
std::string NativePath(const std::string& buildPath);

// A path from a text in the code page the tool's "A" calls use (1250 on the Windows build), and
// back: the library's own conversion would read such a text otherwise.
std::filesystem::path FsPath(const std::string& text);
std::string PathText(const std::filesystem::path& path);

// Sets an environment variable of this process, or removes it when there is no value.
void SetVariable(const std::string& name, const std::optional<std::string>& value);

// Environment variables as they were when it was made, put back when it goes.
class SavedVariables {
 public:
  explicit SavedVariables(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      const char* value = std::getenv(name.c_str());
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  ~SavedVariables() {
    for (const auto& [name, value] : saved_) SetVariable(name, value);
  }
  SavedVariables(const SavedVariables&) = delete;
  SavedVariables& operator=(const SavedVariables&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace vrk_test
