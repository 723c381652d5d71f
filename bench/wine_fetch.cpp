// The Windows build fetching a 1 GiB text to a file under Wine, from the loopback file
// server: the text gathers in a file beside its target, so the 32-bit process stays small,
// and a text larger than its address space (MIB above 2048) arrives as well. Given the Linux
// build too, the two fetch the same text in turns.
// Goals: peak resident memory at most 64 MiB; the best time at most 4x the Linux build's.
// Usage: bench_wine_fetch PATH_TO_VRK_EXE PATH_TO_HTTP_FIXTURE PATH_TO_WINE_RUN [RUNS [MIB
//        [PATH_TO_LINUX_VRK]]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "bench/child_run.h"
#include "bench/served_text.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr long kLimitKiB = 64 * 1024;
constexpr double kLinuxRatio = 4.0;

// The best time and largest peak of one build's fetches.
struct Fetches {
  bool ok = true;
  double best = 0;
  long peakKiB = 0;
  void Add(const vrk::bench::ChildResult& result, bool whole) {
    ok = ok && result.finished && whole;
    if (best == 0 || result.seconds < best) best = result.seconds;
    peakKiB = std::max(peakKiB, result.peakKiB);
  }
};

int Measure(const std::string& vrk, const std::string& fixture, const std::string& wineRun,
            int runs, std::uintmax_t bytes, const std::string& linuxVrk, const fs::path& work) {
  const fs::path served = work / "served";
  fs::create_directories(served);
  if (!vrk::bench::WriteText(served / "big.txt", bytes)) {
    std::fprintf(stderr, "bench_wine_fetch: could not write the text in %s\n", work.c_str());
    return 2;
  }
  // The Linux build reads vrk.ini beside itself; an empty one means the defaults.
  const fs::path home = work / "linux";
  if (!linuxVrk.empty()) {
    fs::create_directories(home);
    fs::copy_file(linuxVrk, home / "vrk");
    fs::permissions(home / "vrk", fs::perms::owner_exec, fs::perm_options::add);
    std::ofstream(home / "vrk.ini").flush();
  }
  vrk::bench::ServedFolder server(fixture, served);
  if (server.Base().empty()) {
    std::fprintf(stderr, "bench_wine_fetch: the file server did not start\n");
    return 2;
  }
  // Wine's own start (its server, the prefix) is paid before the measured runs.
  vrk::bench::Run({"bash", wineRun, vrk, "ver"}, 120);

  const fs::path out = work / "big.out";
  const std::string url = server.Base() + "big.txt";
  Fetches wine, native;
  const auto fetch = [&](Fetches& into, const std::vector<std::string>& command) {
    const vrk::bench::ChildResult result = vrk::bench::Run(command, 600);
    std::error_code error;
    into.Add(result, fs::file_size(out, error) == bytes && !error);
    fs::remove(out, error);
  };
  for (int run = 0; run < runs; ++run) {
    fetch(wine, {"bash", wineRun, vrk, url, "W", out.string()});
    if (!linuxVrk.empty()) fetch(native, {(home / "vrk").string(), url, "W", out.string()});
  }
  server.Stop();

  std::printf("| build | %.2f GiB wall | MB/s | peak RSS |\n|-------|-----------:|-----:|---------:|\n",
              bytes / double(1ull << 30));
  const auto row = [bytes](const char* name, const Fetches& fetches) {
    std::printf("| %s | %8.2f s%s | %4.0f | %7.1f MiB |\n", name, fetches.best,
                fetches.ok ? "" : "!", fetches.best > 0 ? bytes / 1e6 / fetches.best : 0,
                fetches.peakKiB / 1024.0);
  };
  row("Windows under Wine", wine);
  if (!linuxVrk.empty()) row("Linux", native);
  bool pass = wine.ok && wine.peakKiB <= kLimitKiB;
  std::printf("%s  peak memory %.1f MiB at most %.1f MiB\n", pass ? "PASS" : "FAIL",
              wine.peakKiB / 1024.0, kLimitKiB / 1024.0);
  if (!linuxVrk.empty()) {
    const double ratio = native.best > 0 ? wine.best / native.best : 0;
    const bool timePass = wine.ok && native.ok && ratio <= kLinuxRatio;
    std::printf("%s  %.2fx the Linux build's time (at most %.0fx)\n", timePass ? "PASS" : "FAIL",
                ratio, kLinuxRatio);
    pass = pass && timePass;
  }
  return pass ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: %s PATH_TO_VRK_EXE PATH_TO_HTTP_FIXTURE PATH_TO_WINE_RUN [RUNS [MIB "
                 "[PATH_TO_LINUX_VRK]]]\n",
                 argv[0]);
    return 2;
  }
  const int runs = argc > 4 ? std::clamp(std::atoi(argv[4]), 1, 10) : 1;
  const std::uintmax_t mebibytes = argc > 5 ? std::clamp(std::atoll(argv[5]), 1LL, 1LL << 20) : 1024;
  try {
    vrk_test::ScratchFolder work("vrk_bench_wine.");
    return Measure(fs::absolute(argv[1]).string(), fs::absolute(argv[2]).string(),
                   fs::absolute(argv[3]).string(), runs, mebibytes << 20,
                   argc > 6 ? fs::absolute(argv[6]).string() : std::string(), work.Path());
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "bench_wine_fetch: %s\n", failure.what());
    return 2;
  }
}
