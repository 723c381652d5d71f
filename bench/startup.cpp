// Start-up cost: `vrk ver` against /bin/true, many runs each, printed as a ratio.
// Usage: bench_startup PATH_TO_VRK [RUNS]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

double MeanMicroseconds(const std::vector<std::string>& command, int runs) {
  std::vector<char*> argv;
  std::vector<std::string> args = command;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) {
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
      std::perror("posix_spawn");
      std::exit(1);
    }
    int status;
    waitpid(pid, &status, 0);
  }
  auto elapsed = std::chrono::steady_clock::now() - start;
  posix_spawn_file_actions_destroy(&actions);
  return std::chrono::duration<double, std::micro>(elapsed).count() / runs;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH_TO_VRK [RUNS]\n", argv[0]);
    return 2;
  }
  int runs = argc > 2 ? std::atoi(argv[2]) : 500;
  MeanMicroseconds({argv[1], "ver"}, 20);  // warm the page cache
  double tool = MeanMicroseconds({argv[1], "ver"}, runs);
  double baseline = MeanMicroseconds({"/bin/true"}, runs);
  std::printf("runs: %d\n", runs);
  std::printf("vrk ver:   %9.1f us per run\n", tool);
  std::printf("/bin/true: %9.1f us per run\n", baseline);
  std::printf("ratio:     %9.2f\n", tool / baseline);
  return 0;
}
