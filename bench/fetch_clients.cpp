#include "bench/fetch_clients.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <system_error>

namespace vrk::bench {

namespace fs = std::filesystem;

namespace {

bool HasSize(const fs::path& path, std::uintmax_t size) {
  std::error_code error;
  return fs::file_size(path, error) == size && !error;
}

// The fetch's time, and whether it finished with the whole file.
ChildResult Fetch(const FetchClient& client, const std::string& url, const fs::path& out,
                  std::uintmax_t size, double timeoutSeconds, bool& ok) {
  fs::remove(out);
  std::vector<std::string> command = client.command(client.program, url, out.string());
  command.insert(command.begin() + 1, client.options.begin(), client.options.end());
  ChildResult result = Run(command, timeoutSeconds, client.environment);
  if (!result.finished || !HasSize(out, size)) ok = false;
  fs::remove(out);
  return result;
}

// "0.85" or "-" where there is nothing to compare with.
std::string Ratio(double value, double yardstick) {
  if (yardstick <= 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.2f", value / yardstick);
  return text;
}

}  // namespace

void MeasureInTurns(std::vector<FetchClient>& clients, const std::string& base, int smallRuns,
                    int bigRuns, const fs::path& work) {
  const fs::path out = work / "fetched.out";
  std::vector<std::vector<double>> micros(clients.size());
  for (int run = 0; run < smallRuns; ++run) {
    for (std::size_t i = 0; i < clients.size(); ++i) {
      const ChildResult result = Fetch(clients[i], base + "small.txt", out, kSmallBytes, 10, clients[i].smallOk);
      micros[i].push_back(result.seconds * 1e6);
    }
  }
  for (std::size_t i = 0; i < clients.size(); ++i) clients[i].smallMedianMicros = Median(micros[i]);

  for (int run = 0; run < bigRuns; ++run) {
    for (FetchClient& client : clients) {
      // Whatever the previous client left unwritten goes to the disk first, untimed: a client
      // that flushes its file must not wait for another's gigabyte too.
      ::sync();
      const ChildResult result = Fetch(client, base + "big.txt", out, kBigBytes, 300, client.bigOk);
      if (run == 0 || result.seconds < client.big.seconds) client.big.seconds = result.seconds;
      client.big.peakKiB = std::max(client.big.peakKiB, result.peakKiB);
    }
  }
}

Yardsticks YardsticksOf(const std::vector<FetchClient>& clients) {
  Yardsticks yardsticks;
  for (const FetchClient& client : clients) {
    if (client.role == FetchClient::Role::kLoop) {
      if (client.smallOk) yardsticks.loopSmall = client.smallMedianMicros;
      if (client.bigOk) yardsticks.loopBig = client.big.seconds;
    } else if (client.role == FetchClient::Role::kPeer) {
      if (client.smallOk && (yardsticks.peerSmall == 0 || client.smallMedianMicros < yardsticks.peerSmall)) {
        yardsticks.peerSmall = client.smallMedianMicros;
      }
      if (client.bigOk && (yardsticks.peerBig == 0 || client.big.seconds < yardsticks.peerBig)) {
        yardsticks.peerBig = client.big.seconds;
      }
    }
  }
  return yardsticks;
}

void PrintTable(const std::vector<FetchClient>& clients, const Yardsticks& yardsticks) {
  std::printf("| client | 1 KiB median | vs loop | vs peer | 1 GiB wall | MB/s | vs loop | vs peer | peak RSS (1 GiB) |\n");
  std::printf("|--------|-------------:|--------:|--------:|-----------:|-----:|--------:|--------:|-----------------:|\n");
  for (const FetchClient& client : clients) {
    const double mbps = client.big.seconds > 0 ? kBigBytes / 1e6 / client.big.seconds : 0;
    std::printf("| %-6s | %9.0f us%s | %7s | %7s | %8.2f s%s | %4.0f | %7s | %7s | %12.1f MiB |\n",
                client.name.c_str(), client.smallMedianMicros, client.smallOk ? "" : "!",
                Ratio(client.smallMedianMicros, yardsticks.loopSmall).c_str(),
                Ratio(client.smallMedianMicros, yardsticks.peerSmall).c_str(), client.big.seconds,
                client.bigOk ? "" : "!", mbps, Ratio(client.big.seconds, yardsticks.loopBig).c_str(),
                Ratio(client.big.seconds, yardsticks.peerBig).c_str(), client.big.peakKiB / 1024.0);
  }
  std::printf("(vs loop: against the limit loop; vs peer: against the faster of the peers; "
              "! marks a failed fetch or a wrong size)\n\n");
}

}  // namespace vrk::bench
