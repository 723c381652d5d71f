// Start-up cost: `vrk ver` against /bin/true, printed as a ratio of median run times.
// Usage: bench_startup PATH_TO_VRK [RUNS]
// The two commands take turns, and medians are compared, so that a burst of other work on
// the machine weighs on both alike and a few slow runs do not move the figure.
// The program runs from a copy in a folder of its own, as a user has it once unpacked: the
// file as the linker left it in the page cache starts some 5% slower than the same bytes
// written in one pass.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scratch_folder.h"

namespace {

class Command {
 public:
  explicit Command(std::vector<std::string> words) : program_(words[0]) {
    options_.arguments.assign(words.begin() + 1, words.end());
    options_.output = options_.error = vrk_test::Stream::kNull;
  }

  // One run, start to end; its time is kept.
  void Run() {
    const auto start = std::chrono::steady_clock::now();
    vrk_test::ChildProcess(program_, options_).Wait(std::chrono::hours(1));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    times_.push_back(std::chrono::duration<double, std::micro>(elapsed).count());
  }

  double Median() {
    std::sort(times_.begin(), times_.end());
    return times_[times_.size() / 2];
  }

 private:
  std::string program_;
  vrk_test::ChildOptions options_;
  std::vector<double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH_TO_VRK [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = std::max(argc > 2 ? std::atoi(argv[2]) : 500, 1);
  vrk_test::ScratchFolder folder("vrk_bench_startup.");
  const std::string program = folder.Inside("vrk");
  std::filesystem::copy_file(argv[1], program);
  {
    Command warm({program, "ver"});  // the page cache
    for (int i = 0; i < 20; ++i) warm.Run();
  }
  Command tool({program, "ver"});
  Command baseline({"/bin/true"});
  for (int i = 0; i < runs; ++i) {
    tool.Run();
    baseline.Run();
  }
  const double toolMedian = tool.Median();
  const double baselineMedian = baseline.Median();
  std::printf("runs: %d each, taking turns\n", runs);
  std::printf("vrk ver:   %9.1f us per run (median)\n", toolMedian);
  std::printf("/bin/true: %9.1f us per run (median)\n", baselineMedian);
  std::printf("ratio:     %9.2f\n", toolMedian / baselineMedian);
  return 0;
}
