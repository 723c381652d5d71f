// The parts of the runner that both platforms share: the folder and the box form.
#include "vrk_runner.h"

#include <filesystem>
#include <thread>

#include "tests/support/host.h"

namespace vrk_test {

namespace fs = std::filesystem;

ToolFolder::ToolFolder() : ScratchFolder("vrk-e2e-") {
  fs::copy_file(NativePath(VRK_EXECUTABLE), Inside(ExecutableName()));
  fs::permissions(Inside(ExecutableName()), fs::perms::owner_all, fs::perm_options::add);
}

ToolFolder::ToolFolder(const std::string& release) : ScratchFolder("vrk-release-") {
  fs::copy(release, Path(), fs::copy_options::recursive);
}

ToolFolder::ToolFolder(const Subfolder& home) : ScratchFolder("vrk-e2e-"), home_(home.path) {
  fs::create_directories(FsPath(Inside(home_)));
  fs::copy_file(NativePath(VRK_EXECUTABLE), FsPath(Inside(BesideTheTool(ExecutableName()))));
  fs::permissions(FsPath(Inside(BesideTheTool(ExecutableName()))), fs::perms::owner_all,
                  fs::perm_options::add);
}

std::string ToolFolder::BesideTheTool(const std::string& name) const {
  return home_.empty() ? name : home_ + "/" + name;
}

std::vector<std::string> ToolFolder::FilesBesideTheTool() const {
  std::set<std::string> names = vrk_test::Names(Path() / FsPath(home_));
  names.erase(ExecutableName());
  return {names.begin(), names.end()};
}

RunResult ToolFolder::Run(const std::vector<std::string>& arguments, const std::string& workDir,
                          const std::vector<std::string>& environment, int timeoutSeconds) const {
  ChildOptions options;
  options.arguments = arguments;
  options.workDir = workDir.empty() ? Path().string() : workDir;
  options.environment = environment;
  return Start(Inside(BesideTheTool(ExecutableName())), options, timeoutSeconds);
}

std::vector<RunResult> ToolFolder::RunAtOnce(const std::vector<std::vector<std::string>>& argumentLists,
                                             const std::vector<std::string>& environment,
                                             int timeoutSeconds) const {
  std::vector<RunResult> results(argumentLists.size());
  std::vector<std::thread> runs;
  for (std::size_t i = 0; i < argumentLists.size(); ++i) {
    runs.emplace_back([&, i] { results[i] = Run(argumentLists[i], "", environment, timeoutSeconds); });
  }
  for (std::thread& run : runs) run.join();
  return results;
}

RunResult ToolFolder::RunNamed(const std::string& programName, const std::vector<std::string>& arguments,
                               const std::vector<std::string>& environment) const {
  ChildOptions options;
  options.arguments = arguments;
  options.programName = programName;
  options.workDir = Path().string();
  options.environment = environment;
  return Start(Inside(BesideTheTool(ExecutableName())), options, 20);
}

RunResult ToolFolder::RunBy(const std::string& program, const std::vector<std::string>& arguments,
                            const std::string& workDir) const {
  ChildOptions options;
  options.arguments = arguments;
  options.workDir = workDir;
  return Start(program, options, 20);
}

std::string Box(const std::string& caption, const std::string& text) {
  return caption + "\n" + text + "\n";
}

}  // namespace vrk_test
