// Runs the built tool as a user would: a copy in a fresh folder beside its own
// settings file, started with a command line, its message boxes collected: from its
// output streams on POSIX, from its box windows on Windows (which are then dismissed).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scratch_folder.h"

namespace vrk_test {

struct RunResult {
  int exitCode = -1;
  bool timedOut = false;
  std::string out;
  std::string err;
  long peakKiB = 0;  // the run's peak resident memory, as last seen (POSIX)
};

class ToolFolder : public ScratchFolder {
 public:
  ToolFolder();
  // A copy of everything in `release`, an unpacked release folder, instead of the built tool.
  explicit ToolFolder(const std::string& release);
  // The built tool in a subfolder ("a/b/c", made on the way) rather than at the top.
  struct Subfolder {
    std::string path;
  };
  explicit ToolFolder(const Subfolder& home);

  // The name of an entry beside the tool, for Inside, Put and Get.
  std::string BesideTheTool(const std::string& name) const;
  void WriteSettings(const std::string& bytes) const { Put(BesideTheTool("vrk.ini"), bytes); }
  // Everything in the tool's folder but the tool itself, sorted.
  std::vector<std::string> FilesBesideTheTool() const;

  // The tool's name in the folder: vrk, or vrk.exe on Windows.
  static const char* ExecutableName();

  // Runs the copy with these arguments, in `workDir` (the folder itself when empty),
  // with extra "NAME=value" environment entries; ended after `timeoutSeconds`.
  RunResult Run(const std::vector<std::string>& arguments, const std::string& workDir = "",
                const std::vector<std::string>& environment = {}, int timeoutSeconds = 20) const;
  // Every argument list run at once, as batch files start the tool; results in the same order.
  std::vector<RunResult> RunAtOnce(const std::vector<std::vector<std::string>>& argumentLists,
                                   const std::vector<std::string>& environment = {},
                                   int timeoutSeconds = 120) const;
  // As Run, with `programName` handed over as the program's name (token 0).
  RunResult RunNamed(const std::string& programName, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment = {}) const;
  // As Run, started by the name `program` (one without a folder is looked for in PATH; a
  // relative one is taken in `workDir`) rather than by the tool's own path.
  RunResult RunBy(const std::string& program, const std::vector<std::string>& arguments,
                  const std::string& workDir) const;

 private:
  RunResult Start(const std::string& program, const ChildOptions& options, int timeoutSeconds) const;

  std::string home_;  // the tool's subfolder; empty at the top
};

// One message box as RunResult holds it (the form POSIX prints): caption, line feed,
// text, line feed. Error boxes go to `err`, all others to `out`.
std::string Box(const std::string& caption, const std::string& text);

}  // namespace vrk_test
