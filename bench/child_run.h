// Child processes for the benchmarks: a command run to its end with its wall time and peak
// resident memory, and a server kept running in the background.
#pragma once

#include <string>
#include <vector>

namespace vrk::bench {

struct ChildResult {
  bool finished = false;  // exited by itself, with status 0, before the deadline
  double seconds = 0;
  long peakKiB = 0;  // ru_maxrss of the child
};

// Blocks SIGCHLD in the calling thread so that children can be awaited with a deadline;
// call once before the first Run.
void PrepareToRunChildren();

// Standard input, output and error go to /dev/null. Variables named *_proxy are left out
// of the child's environment: every fetch here is meant for loopback.
// A child still running after timeoutSeconds is killed.
ChildResult Run(const std::vector<std::string>& command, double timeoutSeconds);

// A command that runs until Stop (or destruction) sends it SIGTERM.
class Background {
 public:
  // Starts the command and reads the first line it prints, waiting at most timeoutSeconds.
  // Running() is false when it could not be started or printed nothing in time.
  Background(const std::vector<std::string>& command, double timeoutSeconds);
  ~Background() { Stop(); }
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;

  bool Running() const { return pid_ > 0; }
  const std::string& FirstLine() const { return firstLine_; }
  // SIGTERM, then SIGKILL when it has not ended within five seconds.
  void Stop();

 private:
  int pid_ = -1;
  int output_ = -1;
  std::string firstLine_;
};

}  // namespace vrk::bench
