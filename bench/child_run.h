// A benchmarked command run to its end, with its wall time and peak resident memory.
#pragma once

#include <string>
#include <vector>

namespace vrk::bench {

struct ChildResult {
  bool finished = false;  // exited by itself, with status 0, before the deadline
  double seconds = 0;
  long peakKiB = 0;  // ru_maxrss of the child
};

// Standard input, output and error go to /dev/null. Variables named *_proxy are left out
// of the child's environment: every fetch here is meant for loopback. `environment` adds
// "NAME=value" entries (the CA a TLS client is to trust, say).
// A child still running after timeoutSeconds is killed.
ChildResult Run(const std::vector<std::string>& command, double timeoutSeconds,
                const std::vector<std::string>& environment = {});

// The middle value of the runs' times, so a few slow runs do not move the figure; 0 for none.
double Median(std::vector<double> values);

}  // namespace vrk::bench
