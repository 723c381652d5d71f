// Start-up cost: `vrk ver` against /bin/true, printed as a ratio of median run times.
// Usage: bench_startup PATH_TO_VRK [RUNS]
// The two commands take turns, and medians are compared, so that a burst of other work on
// the machine weighs on both alike and a few slow runs do not move the figure.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

class Command {
 public:
  explicit Command(std::vector<std::string> words) : words_(std::move(words)) {
    for (std::string& word : words_) argv_.push_back(word.data());
    argv_.push_back(nullptr);
    posix_spawn_file_actions_init(&actions_);
    posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions_, 2, "/dev/null", O_WRONLY, 0);
  }
  ~Command() { posix_spawn_file_actions_destroy(&actions_); }
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  // One run, start to end; its time is kept.
  void Run() {
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv_[0], &actions_, nullptr, argv_.data(), environ) != 0) {
      std::perror("posix_spawn");
      std::exit(1);
    }
    int status;
    waitpid(pid, &status, 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    times_.push_back(std::chrono::duration<double, std::micro>(elapsed).count());
  }

  double Median() {
    std::sort(times_.begin(), times_.end());
    return times_[times_.size() / 2];
  }

 private:
  std::vector<std::string> words_;
  std::vector<char*> argv_;
  posix_spawn_file_actions_t actions_;
  std::vector<double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH_TO_VRK [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = std::max(argc > 2 ? std::atoi(argv[2]) : 500, 1);
  {
    Command warm({argv[1], "ver"});  // the page cache
    for (int i = 0; i < 20; ++i) warm.Run();
  }
  Command tool({argv[1], "ver"});
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
