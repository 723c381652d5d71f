#include "tests/alloc/allocation_sweep.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "tests/e2e/vrk_runner.h"

namespace vrk_test {
namespace {

// A run that has not ended by then hangs.
constexpr int kBoundSeconds = 20;
// Hung runs after which the sweep gives up, so that a hang costs minutes, not hours.
constexpr int kHangsTolerated = 3;
constexpr std::size_t kFailuresKept = 20;
// The tool's error boxes: its exception report, and the failed download's box.
const char* const kCaptions[] = {"VRK", "Chyba připojení"};

struct Choice {
  unsigned long n;
  bool lasting;
};

std::string Excerpt(const std::string& bytes) {
  std::string shown;
  for (char c : bytes.substr(0, 160)) shown += c == '\n' ? std::string("\\n") : std::string(1, c);
  return "\"" + shown + (bytes.size() > 160 ? "...\"" : "\"");
}

// Length of the caption line that starts at `at` in `err`, 0 when none does.
std::size_t CaptionLine(const std::string& err, std::size_t at) {
  for (const char* caption : kCaptions) {
    const std::string line = std::string(caption) + "\n";
    if (err.compare(at, line.size(), line) == 0) return line.size();
  }
  return 0;
}

// The boxes of an error stream, none when it holds anything else: each is a caption line, a
// text that is not empty and a line feed.
std::optional<std::vector<std::string>> ErrorBoxes(const std::string& err) {
  std::vector<std::string> boxes;
  std::size_t at = 0;
  while (at < err.size()) {
    const std::size_t head = CaptionLine(err, at);
    if (head == 0) return std::nullopt;
    std::size_t end = std::string::npos;
    for (std::size_t feed = err.find('\n', at + head); feed != std::string::npos;
         feed = err.find('\n', feed + 1)) {
      if (feed + 1 == err.size() || CaptionLine(err, feed + 1) != 0) {
        end = feed;
        break;
      }
    }
    if (end == std::string::npos || end == at + head) return std::nullopt;
    boxes.push_back(err.substr(at, end - at));
    at = end + 1;
  }
  return boxes;
}

bool Holds(const Files& files, const std::string& name, const std::string& bytes) {
  auto found = files.find(name);
  return found != files.end() && found->second == bytes;
}

std::string Listing(const Files& files) {
  std::string listing;
  for (const auto& [name, bytes] : files) listing += " " + name + " (" + std::to_string(bytes.size()) + " bytes)";
  return listing.empty() ? " nothing" : listing;
}

// What is wrong with a run, "" when nothing is; its error boxes go to `boxes`.
std::string Judge(const Scenario& scenario, const RunResult& run, const Files& found,
                  std::vector<std::string>& boxes) {
  if (run.timedOut) return "did not end within " + std::to_string(kBoundSeconds) + " s";
  if (run.exitCode != 0) {
    return "exit code " + std::to_string(run.exitCode) + ", error stream " + Excerpt(run.err);
  }
  std::optional<std::vector<std::string>> shown = ErrorBoxes(run.err);
  if (!shown) return "error stream holds more than the tool's boxes: " + Excerpt(run.err);
  boxes = *shown;
  if (!run.out.empty() && run.out != scenario.out) return "output stream " + Excerpt(run.out);
  for (const auto& [name, bytes] : found) {
    if (Holds(scenario.before, name, bytes) || Holds(scenario.after, name, bytes) ||
        Holds(scenario.between, name, bytes)) {
      continue;
    }
    return name + " is neither as it was nor wholly new: " + std::to_string(bytes.size()) +
           " bytes " + Excerpt(bytes);
  }
  for (const auto& [name, bytes] : scenario.before) {
    if (scenario.after.count(name) != 0 && found.count(name) == 0) return name + " is gone";
  }
  const bool normal = boxes.empty();
  // A box tells the user that the run failed: not after its work was done.
  if (!normal && found == scenario.after && scenario.after != scenario.before) {
    return "an error box, but the work was done: " + Excerpt(run.err);
  }
  if (normal && found != scenario.after) return "no error box, but the files are" + Listing(found);
  if (normal && run.out != scenario.out) return "no error box, but the output stream is " + Excerpt(run.out);
  return scenario.delivered ? scenario.delivered(normal) : "";
}

// One folder with the tool, where runs of the scenario take turns.
class Bench {
 public:
  explicit Bench(const Scenario& scenario) : scenario_(scenario) {}

  RunResult Run(const std::vector<std::string>& shimSettings) {
    for (const std::string& name : folder_.Names()) {
      if (name != ToolFolder::ExecutableName()) std::filesystem::remove_all(folder_.Inside(name));
    }
    for (const auto& [name, bytes] : scenario_.before) folder_.Put(name, bytes);
    if (scenario_.prepare) scenario_.prepare();
    std::vector<std::string> environment = scenario_.environment;
    environment.push_back(std::string("LD_PRELOAD=") + VRK_ALLOC_SHIM);
    environment.insert(environment.end(), shimSettings.begin(), shimSettings.end());
    return folder_.Run(scenario_.arguments, "", environment, kBoundSeconds);
  }

  Files Found() const {
    Files files;
    for (const std::string& name : folder_.Names()) {
      if (name != ToolFolder::ExecutableName()) files[name] = folder_.Get(name);
    }
    return files;
  }

 private:
  const Scenario& scenario_;
  ToolFolder folder_;
};

unsigned Jobs(const Scenario& scenario, bool full) {
  if (scenario.alone || !full) return 1;
  const char* jobs = std::getenv("VRK_ALLOC_TORTURE_JOBS");
  const unsigned value = jobs != nullptr ? static_cast<unsigned>(std::atoi(jobs)) : 2;
  return value > 0 ? value : 1;
}

}  // namespace

SweepReport Sweep(const Scenario& scenario, unsigned long stride) {
  const char* mode = std::getenv("VRK_ALLOC_TORTURE");
  const bool full = mode != nullptr && std::string(mode) == "full";
  if (full || stride == 0) stride = 1;
  SweepReport report;
  std::vector<std::string> boxes;
  {
    ScratchFolder counts("vrk-alloc-count-");
    Bench bench(scenario);
    RunResult run = bench.Run({"VRK_ALLOC_COUNT=" + counts.Inside("count")});
    std::string wrong = Judge(scenario, run, bench.Found(), boxes);
    if (wrong.empty() && !boxes.empty()) wrong = "error boxes " + Excerpt(run.err);
    if (!wrong.empty()) {
      report.failed = 1;
      report.failures.push_back("the run without failures: " + wrong);
      return report;
    }
    report.allocations = std::strtoul(counts.Get("count").c_str(), nullptr, 10);
  }
  std::vector<Choice> plan;
  for (bool lasting : {false, true}) {
    for (unsigned long n = 1; n <= report.allocations; n += stride) plan.push_back({n, lasting});
    if (report.allocations > 0 && (report.allocations - 1) % stride != 0) {
      plan.push_back({report.allocations, lasting});
    }
  }
  // Every folder is made before any run starts: a copy of the tool still open for writing
  // when another thread starts a run would be inherited by it, and the tool could not start.
  std::vector<std::unique_ptr<Bench>> benches;
  for (unsigned j = 0; j < Jobs(scenario, full); ++j) benches.push_back(std::make_unique<Bench>(scenario));
  std::mutex lock;
  std::atomic<std::size_t> next{0};
  std::atomic<int> hangs{0};
  auto work = [&](Bench& bench) {
    for (std::size_t i; hangs < kHangsTolerated && (i = next++) < plan.size();) {
      const Choice choice = plan[i];
      std::vector<std::string> settings{"VRK_ALLOC_FAIL=" + std::to_string(choice.n)};
      if (choice.lasting) settings.push_back("VRK_ALLOC_FAIL_LASTING=1");
      std::vector<std::string> shown;
      std::string wrong;
      RunResult run;
      try {
        run = bench.Run(settings);
        wrong = Judge(scenario, run, bench.Found(), shown);
      } catch (const std::exception& error) {
        wrong = std::string("the run could not be made: ") + error.what();
      }
      if (run.timedOut) ++hangs;
      std::lock_guard<std::mutex> guard(lock);
      ++report.runs;
      for (const std::string& box : shown) ++report.boxes[box];
      if (wrong.empty()) continue;
      ++report.failed;
      if (report.failures.size() < kFailuresKept) {
        report.failures.push_back(std::string(choice.lasting ? "from " : "only ") +
                                  std::to_string(choice.n) + ": " + wrong);
      }
    }
  };
  std::vector<std::thread> workers;
  for (auto& bench : benches) workers.emplace_back(work, std::ref(*bench));
  for (std::thread& worker : workers) worker.join();
  if (hangs >= kHangsTolerated) report.failures.push_back("given up after hung runs");
  return report;
}

std::string Summary(const std::string& name, const SweepReport& report) {
  std::ostringstream text;
  text << name << ": " << report.allocations << " allocations, " << report.runs << " runs, "
       << report.failed << " failed\n";
  for (const auto& [box, runs] : report.boxes) text << "  box " << Excerpt(box) << ": " << runs << " runs\n";
  for (const std::string& failure : report.failures) text << "  FAILED " << failure << "\n";
  return text.str();
}

}  // namespace vrk_test
