// vrk beside the limit loop (bench_limit_loop: the least a client can do), curl and wget, with
// the same loopback file server in one run: a 1 KiB text fetched many times (median per fetch)
// and a 1 GiB text fetched to a file, with each client's peak resident memory. Then vrk, curl
// and wget again over HTTPS, against a private nginx on loopback serving the same folder.
// Goals over plain HTTP: the 1 GiB fetch at most 1.15x the loop and 0.85x the faster peer, the
// 1 KiB fetch at most 0.5x the faster peer; over HTTPS: 1 KiB at most 1.0x and 1 GiB at most
// 1.1x the faster peer; vrk's peak memory for 1 GiB at most 16 MiB over both.
// Usage: bench_fetch PATH_TO_VRK PATH_TO_HTTP_FIXTURE [SMALL_RUNS] [BIG_RUNS]
// With more than one big run (default one) each client's fastest run and largest peak count:
// writing 1 GiB to disk varies much from run to run. Before each big fetch the system writes out
// what is waiting (sync, untimed), so that no client pays for the previous one's unflushed file.
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
#include "bench/fetch_clients.h"
#include "bench/https_site.h"
#include "bench/served_text.h"
#include "tests/support/scratch_folder.h"

namespace fs = std::filesystem;
using vrk::bench::FetchClient;
using Role = FetchClient::Role;

namespace {

constexpr long kPeakLimitKiB = 16 * 1024;

std::vector<std::string> VrkCommand(const std::string& program, const std::string& url,
                                    const std::string& out) {
  return {program, url, "W", out};
}
std::vector<std::string> LoopCommand(const std::string& program, const std::string& url,
                                     const std::string& out) {
  return {program, url, out};
}
std::vector<std::string> CurlCommand(const std::string& program, const std::string& url,
                                     const std::string& out) {
  return {program, "-s", "-o", out, url};
}
std::vector<std::string> WgetCommand(const std::string& program, const std::string& url,
                                     const std::string& out) {
  return {program, "-q", "-O", out, url};
}

// Built with this program (bench/CMakeLists.txt names it).
const char* const kLimitLoop = VRK_LIMIT_LOOP;

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

// vrk, the loop (plain HTTP only), and whichever peers are installed.
std::vector<FetchClient> Clients(const std::string& vrk, bool plain) {
  std::vector<FetchClient> clients;
  clients.emplace_back("vrk", Role::kTool, VrkCommand, vrk);
  if (plain) clients.emplace_back("loop", Role::kLoop, LoopCommand, kLimitLoop);
  const std::pair<const char*, FetchClient::CommandFor> peers[] = {{"curl", CurlCommand}, {"wget", WgetCommand}};
  for (const auto& [name, command] : peers) {
    if (OnPath(name)) {
      clients.emplace_back(name, Role::kPeer, command, name);
    } else {
      std::printf("%s is not installed: left out\n", name);
    }
  }
  return clients;
}

const char* Verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

// Prints one goal's line; whether it passed.
bool Goal(bool measured, const char* what, double ratio, double limit) {
  const bool pass = measured && ratio > 0 && ratio <= limit;
  std::printf("%s  %s: %.2fx (at most %.2fx)\n", Verdict(pass), what, ratio, limit);
  return pass;
}

bool MemoryGoal(const FetchClient& tool) {
  const bool pass = tool.bigOk && tool.big.peakKiB <= kPeakLimitKiB;
  std::printf("%s  vrk's peak memory for 1 GiB: %.1f MiB (at most %.0f MiB)\n", Verdict(pass),
              tool.big.peakKiB / 1024.0, kPeakLimitKiB / 1024.0);
  return pass;
}

bool PlainGoals(const std::vector<FetchClient>& clients) {
  const vrk::bench::Yardsticks yard = vrk::bench::YardsticksOf(clients);
  vrk::bench::PrintTable(clients, yard);
  const FetchClient& tool = clients.front();
  const double big = tool.big.seconds;
  bool pass = Goal(tool.bigOk && yard.loopBig > 0, "1 GiB to a file against the loop", big / yard.loopBig, 1.15);
  pass &= Goal(tool.bigOk && yard.peerBig > 0, "1 GiB to a file against the faster peer", big / yard.peerBig, 0.85);
  pass &= Goal(tool.smallOk && yard.peerSmall > 0, "1 KiB median against the faster peer",
               tool.smallMedianMicros / yard.peerSmall, 0.5);
  return MemoryGoal(tool) && pass;
}

bool SecureGoals(const std::vector<FetchClient>& clients) {
  const vrk::bench::Yardsticks yard = vrk::bench::YardsticksOf(clients);
  vrk::bench::PrintTable(clients, yard);
  const FetchClient& tool = clients.front();
  bool pass = Goal(tool.smallOk && yard.peerSmall > 0, "HTTPS 1 KiB median against the faster peer",
                   tool.smallMedianMicros / yard.peerSmall, 1.0);
  pass &= Goal(tool.bigOk && yard.peerBig > 0, "HTTPS 1 GiB to a file against the faster peer",
               tool.big.seconds / yard.peerBig, 1.1);
  return MemoryGoal(tool) && pass;
}

// What every child's peak includes: a child begins as a copy of this process.
double FloorMiB() {
  const vrk::bench::ChildResult idle = vrk::bench::Run({"/bin/true"}, 10);
  return idle.peakKiB / 1024.0;
}

int Measure(const std::string& vrkSource, const std::string& fixture, int smallRuns,
            int bigRuns, const fs::path& work) {
  const fs::path served = work / "served";
  const fs::path home = work / "vrk";
  fs::create_directories(served);
  fs::create_directories(home);
  // The tool reads vrk.ini beside itself; an empty one means the defaults (no proxy).
  fs::copy_file(vrkSource, home / "vrk");
  std::ofstream(home / "vrk.ini").flush();
  if (!vrk::bench::WriteText(served / "small.txt", vrk::bench::kSmallBytes) ||
      !vrk::bench::WriteText(served / "big.txt", vrk::bench::kBigBytes)) {
    std::fprintf(stderr, "bench_fetch: could not write the texts in %s\n", work.c_str());
    return 2;
  }
  std::printf("small: %llu bytes, %d fetches each; big: %llu bytes, %d fetch(es) each; "
              "a child that does nothing peaks at %.1f MiB\n\n",
              static_cast<unsigned long long>(vrk::bench::kSmallBytes), smallRuns,
              static_cast<unsigned long long>(vrk::bench::kBigBytes), bigRuns, FloorMiB());

  bool pass = true;
  {
    vrk::bench::ServedFolder server(fixture, served);
    if (server.Base().empty()) {
      std::fprintf(stderr, "bench_fetch: the file server did not start\n");
      return 2;
    }
    std::vector<FetchClient> clients = Clients((home / "vrk").string(), true);
    vrk::bench::MeasureInTurns(clients, server.Base(), smallRuns, bigRuns, work);
    std::printf("HTTP, the loopback file server:\n\n");
    pass = PlainGoals(clients);
  }

  const std::unique_ptr<vrk::bench::HttpsSite> site = vrk::bench::HttpsSite::Start(served, work);
  if (site != nullptr) {
    // Each client trusts the private CA in its own way.
    const std::string ca = site->CaFile().string();
    std::vector<FetchClient> clients = Clients((home / "vrk").string(), false);
    for (FetchClient& client : clients) {
      if (client.name == "vrk") client.environment = {"SSL_CERT_FILE=" + ca};
      if (client.name == "curl") client.options = {"--cacert", ca};
      if (client.name == "wget") client.options = {"--ca-certificate=" + ca};
    }
    vrk::bench::MeasureInTurns(clients, site->Base(), smallRuns, bigRuns, work);
    std::printf("\nHTTPS, a private nginx on loopback:\n\n");
    pass &= SecureGoals(clients);
  }
  return pass ? 0 : 1;
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
