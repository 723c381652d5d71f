// vrk beside curl and wget, with the same loopback file server in one run: a 1 KiB text
// fetched many times (median per fetch) and a 1 GiB text fetched once to a file, with each
// client's peak resident memory. Goals, against the faster peer: the small fetch no slower,
// the big one within 1.1x; vrk's peak memory at most the body plus 64 MiB.
// Usage: bench_fetch PATH_TO_VRK PATH_TO_HTTP_FIXTURE [SMALL_RUNS] [BIG_RUNS]
// With more than one big run (default one) each client's fastest run and largest peak count:
// writing 1 GiB to disk varies much from run to run.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "bench/child_run.h"
#include "bench/served_text.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;
using vrk::bench::ChildResult;

namespace {

constexpr std::uintmax_t kSmallBytes = 1024;
constexpr std::uintmax_t kBigBytes = 1ull << 30;
constexpr std::uintmax_t kMemorySlackKiB = 64 * 1024;

using CommandFor = std::vector<std::string> (*)(const std::string& program,
                                               const std::string& url, const std::string& out);

struct Client {
  Client(std::string n, CommandFor c, std::string p)
      : name(std::move(n)), command(c), program(std::move(p)) {}
  std::string name;
  CommandFor command;
  std::string program;
  double smallMedianMicros = 0;
  bool smallOk = true;
  ChildResult big;
  bool bigOk = false;
};

std::vector<std::string> VrkCommand(const std::string& program, const std::string& url,
                                    const std::string& out) {
  return {program, url, "W", out};
}
std::vector<std::string> CurlCommand(const std::string& program, const std::string& url,
                                     const std::string& out) {
  return {program, "-s", "-o", out, url};
}
std::vector<std::string> WgetCommand(const std::string& program, const std::string& url,
                                     const std::string& out) {
  return {program, "-q", "-O", out, url};
}

bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string rest = path ? path : "";
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const fs::path candidate = fs::path(rest.substr(0, colon)) / program;
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) return true;
    if (colon == std::string::npos) break;
    rest.erase(0, colon + 1);
  }
  return false;
}

bool HasSize(const fs::path& path, std::uintmax_t size) {
  std::error_code error;
  return fs::file_size(path, error) == size && !error;
}

const char* Verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

int Measure(const std::string& vrkSource, const std::string& fixture, int smallRuns,
            int bigRuns, const fs::path& work) {
  const fs::path served = work / "served";
  const fs::path home = work / "vrk";
  fs::create_directories(served);
  fs::create_directories(home);
  // The tool reads vrk.ini beside itself; an empty one means the defaults (no proxy).
  fs::copy_file(vrkSource, home / "vrk");
  std::ofstream(home / "vrk.ini").flush();
  if (!vrk::bench::WriteText(served / "small.txt", kSmallBytes) || !vrk::bench::WriteText(served / "big.txt", kBigBytes)) {
    std::fprintf(stderr, "bench_fetch: could not write the texts in %s\n", work.c_str());
    return 2;
  }

  vrk::bench::ServedFolder server(fixture, served);
  if (server.Base().empty()) {
    std::fprintf(stderr, "bench_fetch: the file server did not start\n");
    return 2;
  }
  const std::string base = server.Base();

  std::vector<Client> clients = {{"vrk", VrkCommand, (home / "vrk").string()},
                                 {"curl", CurlCommand, "curl"},
                                 {"wget", WgetCommand, "wget"}};
  for (std::size_t i = 1; i < clients.size();) {
    if (OnPath(clients[i].program)) {
      ++i;
    } else {
      std::printf("%s is not installed: left out\n", clients[i].name.c_str());
      clients.erase(clients.begin() + static_cast<long>(i));
    }
  }

  // Small fetches interleaved, so a busy moment weighs on every client alike.
  const fs::path smallOut = work / "small.out";
  std::vector<std::vector<double>> micros(clients.size());
  for (int run = 0; run < smallRuns; ++run) {
    for (std::size_t i = 0; i < clients.size(); ++i) {
      Client& client = clients[i];
      fs::remove(smallOut);
      const ChildResult result =
          vrk::bench::Run(client.command(client.program, base + "small.txt", smallOut), 10);
      if (!result.finished || !HasSize(smallOut, kSmallBytes)) client.smallOk = false;
      micros[i].push_back(result.seconds * 1e6);
    }
  }
  fs::remove(smallOut);
  for (std::size_t i = 0; i < clients.size(); ++i) {
    clients[i].smallMedianMicros = vrk::bench::Median(micros[i]);
  }

  const fs::path bigOut = work / "big.out";
  for (Client& client : clients) client.bigOk = true;
  for (int run = 0; run < bigRuns; ++run) {
    for (Client& client : clients) {
      const ChildResult result =
          vrk::bench::Run(client.command(client.program, base + "big.txt", bigOut), 300);
      if (!result.finished || !HasSize(bigOut, kBigBytes)) client.bigOk = false;
      if (run == 0 || result.seconds < client.big.seconds) client.big.seconds = result.seconds;
      client.big.peakKiB = std::max(client.big.peakKiB, result.peakKiB);
      fs::remove(bigOut);
    }
  }
  server.Stop();

  // The faster peer of each measurement.
  double peerSmall = 0, peerBig = 0;
  for (std::size_t i = 1; i < clients.size(); ++i) {
    const Client& peer = clients[i];
    if (peer.smallOk && (peerSmall == 0 || peer.smallMedianMicros < peerSmall)) {
      peerSmall = peer.smallMedianMicros;
    }
    if (peer.bigOk && (peerBig == 0 || peer.big.seconds < peerBig)) peerBig = peer.big.seconds;
  }

  std::printf("small: %llu bytes, %d fetches each; big: %llu bytes, %d fetch(es) each\n\n",
              static_cast<unsigned long long>(kSmallBytes), smallRuns,
              static_cast<unsigned long long>(kBigBytes), bigRuns);
  std::printf("| client | 1 KiB median | ratio | 1 GiB wall | MB/s | ratio | peak RSS (1 GiB) |\n");
  std::printf("|--------|-------------:|------:|-----------:|-----:|------:|-----------------:|\n");
  for (const Client& client : clients) {
    const double mbps = client.big.seconds > 0 ? kBigBytes / 1e6 / client.big.seconds : 0;
    std::printf("| %-6s | %9.0f us%s | %5.2f | %8.2f s%s | %4.0f | %5.2f | %12.1f MiB |\n",
                client.name.c_str(), client.smallMedianMicros, client.smallOk ? "" : "!",
                peerSmall > 0 ? client.smallMedianMicros / peerSmall : 0, client.big.seconds,
                client.bigOk ? "" : "!", mbps, peerBig > 0 ? client.big.seconds / peerBig : 0,
                client.big.peakKiB / 1024.0);
  }
  std::printf("(ratios against the faster peer; ! marks a failed fetch or a wrong size)\n\n");

  const Client& tool = clients.front();
  const bool smallPass = tool.smallOk && peerSmall > 0 && tool.smallMedianMicros <= peerSmall;
  const bool bigPass = tool.bigOk && peerBig > 0 && tool.big.seconds <= 1.1 * peerBig;
  const auto limitKiB = static_cast<long>(kBigBytes / 1024 + kMemorySlackKiB);
  const bool memoryPass = tool.bigOk && tool.big.peakKiB <= limitKiB;
  std::printf("%s  1 KiB fetch no slower than the faster peer\n", Verdict(smallPass));
  std::printf("%s  1 GiB fetch within 1.1x of the faster peer\n", Verdict(bigPass));
  std::printf("%s  peak memory %.1f MiB at most body + 64 MiB = %.1f MiB\n", Verdict(memoryPass),
              tool.big.peakKiB / 1024.0, limitKiB / 1024.0);
  return smallPass && bigPass && memoryPass ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s PATH_TO_VRK PATH_TO_HTTP_FIXTURE [SMALL_RUNS] [BIG_RUNS]\n",
                 argv[0]);
    return 2;
  }
  const int smallRuns = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 10000) : 200;
  const int bigRuns = argc > 4 ? std::clamp(std::atoi(argv[4]), 1, 10) : 1;
  const std::string vrk = fs::absolute(argv[1]).string();
  const std::string fixture = fs::absolute(argv[2]).string();
  try {
    vrk_test::ScratchFolder work("vrk_bench_fetch.");
    return Measure(vrk, fixture, smallRuns, bigRuns, work.Path());
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "bench_fetch: %s\n", failure.what());
    return 2;
  }
}
