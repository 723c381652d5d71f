// Runs the built tool as a user would: a copy in a fresh folder beside its own
// settings file, started with a command line, its message boxes collected: from its
// output streams on POSIX, from its box windows on Windows (which are then dismissed).
#pragma once

#include <string>
#include <vector>

namespace vrk_test {

struct RunResult {
  int exitCode = -1;
  bool timedOut = false;
  std::string out;
  std::string err;
  long peakKiB = 0;  // the run's peak resident memory, as last seen (POSIX)
};

class ToolFolder {
 public:
  ToolFolder();
  ~ToolFolder();
  ToolFolder(const ToolFolder&) = delete;
  ToolFolder& operator=(const ToolFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + kSeparator + name; }
  void WriteFile(const std::string& name, const std::string& bytes) const;
  std::string ReadFile(const std::string& name) const;
  bool Exists(const std::string& name) const;
  void WriteSettings(const std::string& bytes) const { WriteFile("vrk.ini", bytes); }

  // The tool's name in the folder: vrk, or vrk.exe on Windows.
  static const char* ExecutableName();

  // Runs the copy with these arguments, in `workDir` (the folder itself when empty),
  // with extra "NAME=value" environment entries; ended after `timeoutSeconds`.
  RunResult Run(const std::vector<std::string>& arguments, const std::string& workDir = "",
                const std::vector<std::string>& environment = {}, int timeoutSeconds = 20) const;
#ifndef _WIN32
  // As Run, with `programName` handed over as the program's name (argv[0]).
  RunResult RunNamed(const std::string& programName, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment = {}) const;
#endif

 private:
#ifdef _WIN32
  static constexpr char kSeparator = '\\';
#else
  static constexpr char kSeparator = '/';
#endif
#ifndef _WIN32
  RunResult Spawn(std::string programName, const std::vector<std::string>& arguments,
                  const std::string& workDir, const std::vector<std::string>& environment,
                  int timeoutSeconds) const;
#endif
  std::string path_;
};

// One message box as RunResult holds it (the form POSIX prints): caption, line feed,
// text, line feed. Error boxes go to `err`, all others to `out`.
std::string Box(const std::string& caption, const std::string& text);

}  // namespace vrk_test
