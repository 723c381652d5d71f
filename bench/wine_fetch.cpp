// The Windows build fetching a 1 GiB text to a file under Wine, from the loopback file
// server: the text gathers in a file beside its target, so the 32-bit process stays small,
// and a text larger than its address space (MIB above 2048) arrives as well.
// Goal: peak resident memory at most 256 MiB.
// Usage: bench_wine_fetch PATH_TO_VRK_EXE PATH_TO_HTTP_FIXTURE PATH_TO_WINE_RUN [RUNS [MIB]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "bench/child_run.h"
#include "bench/served_text.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr long kLimitKiB = 256 * 1024;

int Measure(const std::string& vrk, const std::string& fixture, const std::string& wineRun,
            int runs, std::uintmax_t bytes, const fs::path& work) {
  const fs::path served = work / "served";
  fs::create_directories(served);
  if (!vrk::bench::WriteText(served / "big.txt", bytes)) {
    std::fprintf(stderr, "bench_wine_fetch: could not write the text in %s\n", work.c_str());
    return 2;
  }
  vrk::bench::ServedFolder server(fixture, served);
  if (server.Base().empty()) {
    std::fprintf(stderr, "bench_wine_fetch: the file server did not start\n");
    return 2;
  }
  // Wine's own start (its server, the prefix) is paid before the measured runs.
  vrk::bench::Run({"bash", wineRun, vrk, "ver"}, 120);

  const fs::path out = work / "big.out";
  bool ok = true;
  double best = 0;
  long peakKiB = 0;
  for (int run = 0; run < runs; ++run) {
    const vrk::bench::ChildResult result =
        vrk::bench::Run({"bash", wineRun, vrk, server.Base() + "big.txt", "W", out.string()}, 600);
    std::error_code error;
    ok = ok && result.finished && fs::file_size(out, error) == bytes && !error;
    if (run == 0 || result.seconds < best) best = result.seconds;
    peakKiB = std::max(peakKiB, result.peakKiB);
    fs::remove(out, error);
  }
  server.Stop();

  std::printf("| build | %.2f GiB wall | MB/s | peak RSS |\n|-------|-----------:|-----:|---------:|\n",
              bytes / double(1ull << 30));
  std::printf("| Windows under Wine | %8.2f s%s | %4.0f | %7.1f MiB |\n", best, ok ? "" : "!",
              best > 0 ? bytes / 1e6 / best : 0, peakKiB / 1024.0);
  const bool pass = ok && peakKiB <= kLimitKiB;
  std::printf("%s  peak memory %.1f MiB at most %.1f MiB\n", pass ? "PASS" : "FAIL",
              peakKiB / 1024.0, kLimitKiB / 1024.0);
  return pass ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s PATH_TO_VRK_EXE PATH_TO_HTTP_FIXTURE PATH_TO_WINE_RUN [RUNS [MIB]]\n",
                 argv[0]);
    return 2;
  }
  const int runs = argc > 4 ? std::clamp(std::atoi(argv[4]), 1, 10) : 1;
  const std::uintmax_t mebibytes = argc > 5 ? std::clamp(std::atoll(argv[5]), 1LL, 1LL << 20) : 1024;
  try {
    vrk_test::ScratchFolder work("vrk_bench_wine.");
    return Measure(fs::absolute(argv[1]).string(), fs::absolute(argv[2]).string(),
                   fs::absolute(argv[3]).string(), runs, mebibytes << 20, work.Path());
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "bench_wine_fetch: %s\n", failure.what());
    return 2;
  }
}
