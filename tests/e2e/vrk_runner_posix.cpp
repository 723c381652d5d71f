// The runner on POSIX: the tool's boxes are read from its output streams.
#include "vrk_runner.h"

#include <algorithm>

namespace vrk_test {

const char* ToolFolder::ExecutableName() { return "vrk"; }

RunResult ToolFolder::Start(const std::string& program, const ChildOptions& options,
                            int timeoutSeconds) const {
  ChildOptions piped = options;
  piped.input = Stream::kNull;
  piped.output = Stream::kPipe;
  piped.error = Stream::kPipe;
  // The system's texts follow the user's language; the tests read the English ones, whatever
  // the machine's locale.
  if (std::none_of(piped.environment.begin(), piped.environment.end(),
                   [](const std::string& entry) { return entry.starts_with("LC_ALL="); })) {
    piped.environment.push_back("LC_ALL=C.UTF-8");
  }
  ChildProcess tool(program, piped);
  RunResult result;
  const std::chrono::seconds timeout(timeoutSeconds);
  result.timedOut = !tool.ReadToEnd(result.out, result.err, timeout) || !tool.Wait(timeout);
  if (result.timedOut) tool.Kill();
  result.exitCode = result.timedOut ? -1 : *tool.Wait(timeout);
  result.peakKiB = tool.PeakKiB();
  return result;
}

}  // namespace vrk_test
