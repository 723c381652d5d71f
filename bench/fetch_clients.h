// The clients of the fetch benchmark, measured in turns against one server, and their table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bench/child_run.h"

namespace vrk::bench {

inline constexpr std::uintmax_t kSmallBytes = 1024;
inline constexpr std::uintmax_t kBigBytes = 1ull << 30;

struct FetchClient {
  enum class Role { kTool, kLoop, kPeer };
  // The command that fetches `url` into the file `out`.
  using CommandFor = std::vector<std::string> (*)(const std::string& program, const std::string& url,
                                                  const std::string& out);

  FetchClient(std::string n, Role r, CommandFor c, std::string p)
      : name(std::move(n)), role(r), command(c), program(std::move(p)) {}

  std::string name;
  Role role;
  CommandFor command;
  std::string program;
  std::vector<std::string> options;      // put right after the program
  std::vector<std::string> environment;  // added to the inherited one

  double smallMedianMicros = 0;
  bool smallOk = true;
  ChildResult big;  // the fastest run's time, the largest peak
  bool bigOk = true;
};

// Fetches base + "small.txt" smallRuns times and base + "big.txt" bigRuns times with each
// client into files in `work`, the clients taking turns so that a busy moment of the machine
// weighs on each alike. A failed fetch or a file of the wrong size clears smallOk or bigOk.
void MeasureInTurns(std::vector<FetchClient>& clients, const std::string& base, int smallRuns,
                    int bigRuns, const std::filesystem::path& work);

// The figures the goals compare against: the faster of the peers' and the loop's (0: none).
struct Yardsticks {
  double peerSmall = 0, peerBig = 0;
  double loopSmall = 0, loopBig = 0;
};
Yardsticks YardsticksOf(const std::vector<FetchClient>& clients);

// One Markdown table: every client's times, with its ratios to the loop (when there is one)
// and to the faster peer, and its peak memory.
void PrintTable(const std::vector<FetchClient>& clients, const Yardsticks& yardsticks);

}  // namespace vrk::bench
