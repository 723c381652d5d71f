// The runner on Windows: the tool's boxes are read from its box windows, which a watcher
// dismisses so the run never waits for a user.
#include "tools/box_watcher/box_watcher.h"
#include "vrk_runner.h"

namespace vrk_test {

const char* ToolFolder::ExecutableName() { return "vrk.exe"; }

RunResult ToolFolder::Start(const std::string& program, const ChildOptions& options,
                            int timeoutSeconds) const {
  ChildProcess tool(program, options);
  RunResult result;
  BoxWatcher watcher(static_cast<DWORD>(tool.Id()));
  const std::optional<int> exitCode = tool.Wait(std::chrono::seconds(timeoutSeconds));
  result.timedOut = !exitCode;
  if (result.timedOut) tool.Kill();
  watcher.Stop();
  for (const SeenBox& box : watcher.Boxes()) {
    switch (box.icon) {
      case BoxIcon::Error:
        result.err += Box(box.caption, box.text);
        break;
      case BoxIcon::Unknown:
        // Never what a test expects, so the failure shows the box.
        result.err += "[icon not recognised] " + Box(box.caption, box.text);
        break;
      default:
        result.out += Box(box.caption, box.text);
    }
  }
  result.exitCode = exitCode.value_or(-1);
  return result;
}

}  // namespace vrk_test
