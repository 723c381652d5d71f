// Runs the built tool as a user would: a copy in a fresh folder beside its own
// settings file, started with a command line, its output streams captured.
#pragma once

#include <string>
#include <vector>

namespace vrk_test {

struct RunResult {
  int exitCode = -1;
  bool timedOut = false;
  std::string out;
  std::string err;
};

class ToolFolder {
 public:
  ToolFolder();
  ~ToolFolder();
  ToolFolder(const ToolFolder&) = delete;
  ToolFolder& operator=(const ToolFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void WriteFile(const std::string& name, const std::string& bytes) const;
  std::string ReadFile(const std::string& name) const;
  bool Exists(const std::string& name) const;
  void WriteSettings(const std::string& bytes) const { WriteFile("vrk.ini", bytes); }

  // Runs the copy with these arguments, in `workDir` (the folder itself when empty),
  // with extra "NAME=value" environment entries; ended after `timeoutSeconds`.
  RunResult Run(const std::vector<std::string>& arguments, const std::string& workDir = "",
                const std::vector<std::string>& environment = {}, int timeoutSeconds = 20) const;

 private:
  std::string path_;
};

// What a message box prints on POSIX: caption, line feed, text, line feed.
std::string Box(const std::string& caption, const std::string& text);

}  // namespace vrk_test
