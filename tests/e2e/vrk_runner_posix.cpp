// The runner on POSIX: the tool's boxes are read from its output streams.
#include "vrk_runner.h"

namespace vrk_test {

const char* ToolFolder::ExecutableName() { return "vrk"; }

RunResult ToolFolder::Start(const ChildOptions& options, int timeoutSeconds) const {
  ChildOptions piped = options;
  piped.input = Stream::kNull;
  piped.output = Stream::kPipe;
  piped.error = Stream::kPipe;
  ChildProcess tool(Inside(BesideTheTool(ExecutableName())), piped);
  RunResult result;
  const std::chrono::seconds timeout(timeoutSeconds);
  result.timedOut = !tool.ReadToEnd(result.out, result.err, timeout) || !tool.Wait(timeout);
  if (result.timedOut) tool.Kill();
  result.exitCode = result.timedOut ? -1 : *tool.Wait(timeout);
  result.peakKiB = tool.PeakKiB();
  return result;
}

}  // namespace vrk_test
