// The allocation torture: a scenario of the tool is run once to count its allocations, then
// once for each chosen N with allocation N failing (single) and once with every allocation from
// N on failing (lasting), through the shim of tools/alloc_shim. Every run must end within its
// bound with exit code 0, show nothing on its error stream but the tool's own boxes, and leave
// each file beside the tool as it was or wholly new; a run without an error box must have the
// normal outcome.
//
// The shim needs the tool's allocations to reach the C library's malloc, so the torture runs
// against the optimised build; under the sanitizers the tool's allocator is the sanitizer's own
// and the sweep is skipped.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vrk_test {

// The files of a folder, by name, with their bytes.
using Files = std::map<std::string, std::string>;

struct Scenario {
  std::vector<std::string> arguments;
  std::vector<std::string> environment;
  // The files beside the tool before each run, and after the normal outcome.
  Files before;
  Files after;
  // Files that a run cut short may leave besides, each of them complete.
  Files between;
  // The information boxes of the normal outcome; a run cut short shows them or nothing.
  std::string out;
  // Runs before each run; judges what a run left beyond the files ("" when it is right), for
  // the normal outcome or for a run that showed an error box.
  std::function<void()> prepare;
  std::function<std::string(bool normal)> delivered;
  // The scenario's runs cannot share the machine (the desktop's clipboard).
  bool alone = false;
};

struct SweepReport {
  unsigned long allocations = 0;  // in the counting run
  unsigned long runs = 0;
  unsigned long failed = 0;
  std::vector<std::string> failures;  // the first ones, a line each: the run and what was wrong
  std::map<std::string, unsigned long> boxes;  // each error box shown, with its runs
};

// Counts the scenario's allocations, then runs every `stride`th N (and the last) in both modes.
// VRK_ALLOC_TORTURE=full takes every N, in VRK_ALLOC_TORTURE_JOBS folders at once (default 2).
SweepReport Sweep(const Scenario& scenario, unsigned long stride);

// The report as the test prints it: counts, then the boxes seen and the failures.
std::string Summary(const std::string& name, const SweepReport& report);

}  // namespace vrk_test
