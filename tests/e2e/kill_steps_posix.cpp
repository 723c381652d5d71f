// A run killed at each of its file-system steps in turn (tools/kill_shim counts them and kills
// the tool just before step N). Whatever step it dies at, the target is the old or the new
// file, never missing and never partial; its ".old" is as it was or holds the old target, and
// once the target is new it is what a whole run leaves. The same command run normally
// afterwards leaves nothing of the killed run beside them (no ".NAME.PID-N.tmp").
#include <signal.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "internet_settings.h"
#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

// Files beside the tool, by name, with their contents.
using Files = std::map<std::string, std::string>;
using Content = std::optional<std::string>;

const std::string kText = "the new text\r\n";
// Over the 1 MiB that a text bound for a file gathers in memory before it goes to a file.
const std::string kLargeText = [] {
  std::string text((std::size_t{1} << 20) + 100000, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
  return text;
}();
const std::string kProgram = std::string("MZ\0\x01new program", 15) + std::string(70000, 'p');
const std::string kOldSettings = "[Main]\r\nIP=old\r\nPort=1\r\n";
// A run that is not killed ends within this.
constexpr int kRunSeconds = 10;

struct Scenario {
  const char* id;
  // A first argument starting with "/" is a path on the test server.
  std::vector<std::string> arguments;
  Files before;
  std::string target;
  std::string backup;  // none when empty
};

std::ostream& operator<<(std::ostream& out, const Scenario& scenario) { return out << scenario.id; }

const Scenario kScenarios[] = {
    {"TextOverAFileWithoutOld", {"/text", "W", "out.txt"}, {{"out.txt", "previous"}}, "out.txt",
     "out.old"},
    {"TextOverAFileAndItsOld",
     {"/text", "W", "out.txt"},
     {{"out.txt", "previous"}, {"out.old", "older"}},
     "out.txt",
     "out.old"},
    {"TextIntoANewFile", {"/text", "W", "out.txt"}, {}, "out.txt", "out.old"},
    {"SpooledTextOverAFile", {"/large", "W", "out.txt"}, {{"out.txt", "previous"}}, "out.txt",
     "out.old"},
    {"DownloadSwappedInWithExt",
     {"/tool.dat", "x", "tool.dat", "ext", "exe"},
     {{"tool.exe", "old program"}},
     "tool.exe",
     "tool.old"},
    {"ProxyWritesTheSettings", {"proxy"}, {{"vrk.ini", kOldSettings}}, "vrk.ini", ""},
};

Content Find(const Files& files, const std::string& name) {
  const auto found = files.find(name);
  return found == files.end() ? Content() : Content(found->second);
}

// How a file's content is told in a fault: by the versions it should be.
std::string Describe(const Content& content,
                     const std::vector<std::pair<Content, std::string>>& known) {
  for (const auto& [version, label] : known) {
    if (content == version) return label;
  }
  if (!content) return "missing";
  return "partial or foreign (" + std::to_string(content->size()) + " bytes)";
}

class KillSteps : public ::testing::TestWithParam<Scenario> {
 protected:
  KillSteps()
      : server_(ConnectionPlan::Http([](const HttpRequest& request) {
          if (request.target == "/large") return HttpResponse::Text(200, kLargeText);
          if (request.target == "/tool.dat") return HttpResponse::Text(200, kProgram);
          return HttpResponse::Text(200, kText);
        })) {
    // The proxy command reads the proxy from a registry file beside the tool; the other
    // scenarios never look at it.
    registry_.Set({Dword("ProxyEnable", 1), TextValue("ProxyServer", "10.0.0.1:3128")});
    registryFile_ = {"registry.reg", folder_.Get("registry.reg")};
  }

  // The folder holds the tool and `files`, nothing else.
  void Reset(const Files& files) {
    for (const std::string& name : folder_.FilesBesideTheTool()) {
      std::filesystem::remove_all(folder_.Inside(name));
    }
    folder_.Put(registryFile_.first, registryFile_.second);
    for (const auto& [name, content] : files) folder_.Put(name, content);
  }

  Files Current() const {
    Files files;
    for (const std::string& name : folder_.FilesBesideTheTool()) {
      if (name != registryFile_.first) files[name] = folder_.Get(name);
    }
    return files;
  }

  // The scenario's command, killed before step `killAt` or (without it) counting its steps.
  RunResult Run(std::optional<unsigned long> killAt) {
    std::vector<std::string> arguments = GetParam().arguments;
    if (arguments[0].starts_with("/")) arguments[0] = server_.Url(arguments[0]);
    std::vector<std::string> environment = {"LD_PRELOAD=" VRK_KILL_SHIM, "no_proxy=127.0.0.1",
                                            "NO_PROXY=127.0.0.1", "http_proxy=", "HTTP_PROXY="};
    // A sanitized tool wants its runtime loaded first; the shim comes before it.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    environment.push_back("ASAN_OPTIONS=" + std::string(sanitizer ? sanitizer : "") +
                          ":verify_asan_link_order=0");
    for (const std::string& entry : registry_.Environment()) environment.push_back(entry);
    environment.push_back(killAt ? "VRK_KILL_AT=" + std::to_string(*killAt)
                                 : "VRK_KILL_COUNT=" + counts_.Inside("count"));
    return folder_.Run(arguments, "", environment, kRunSeconds);
  }

  // What is wrong with the target and its backup after a killed run; empty when nothing.
  // `after` is what a whole run leaves.
  std::string StateFault(const Files& after, const Files& state) const {
    const Scenario& scenario = GetParam();
    const Content old = Find(scenario.before, scenario.target);
    const Content fresh = Find(after, scenario.target);
    const Content now = Find(state, scenario.target);
    std::string fault;
    if (now != old && now != fresh) {
      fault += scenario.target + " " + Describe(now, {{old, "old"}, {fresh, "new"}}) + "; ";
    }
    if (scenario.backup.empty()) return fault;
    const Content oldBackup = Find(scenario.before, scenario.backup);
    const Content backup = Find(state, scenario.backup);
    // Made before the target is replaced, so it may hold the old target while that is still
    // in place; once the new target is, the backup is the one a whole run leaves.
    const bool fits = now == fresh ? backup == Find(after, scenario.backup)
                                   : backup == oldBackup || (old && backup == old);
    if (!fits) {
      fault += scenario.backup + " " +
               Describe(backup, {{oldBackup, "as it was"}, {old, "the old " + scenario.target},
                                 {fresh, "the new " + scenario.target}}) +
               " while " + scenario.target + " is " +
               Describe(now, {{old, "old"}, {fresh, "new"}}) + "; ";
    }
    return fault;
  }

  // What the normal run after a killed one left that no run leaves: `allowed` names what
  // one or two whole runs leave.
  static std::string LeftBehind(const Files& rerun, const std::set<std::string>& allowed) {
    std::string fault;
    for (const auto& [name, content] : rerun) {
      if (!allowed.contains(name)) fault += "the next run left " + name + " beside it; ";
    }
    return fault;
  }

  ScriptedServer server_;
  ToolFolder folder_;
  InternetSettings registry_{folder_};
  std::pair<std::string, std::string> registryFile_;
  ScratchFolder counts_{"vrk-kill-"};
};

TEST_P(KillSteps, EveryStepLeavesTheOldOrTheNewFiles) {
  const Scenario& scenario = GetParam();
  Reset(scenario.before);
  const RunResult reference = Run(std::nullopt);
  ASSERT_EQ(reference.exitCode, 0);
  ASSERT_EQ(reference.err, "");
  const Files after = Current();
  ASSERT_TRUE(after.contains(scenario.target));
  const unsigned long counted = std::stoul("0" + counts_.Get("count"));
  ASSERT_GT(counted, 0u) << "the shim counted no step";
  // A second whole run may leave more (a download that an existing backup keeps from being
  // swapped in stays under its own name).
  ASSERT_EQ(Run(std::nullopt).err, "");
  std::set<std::string> allowed = {scenario.target, scenario.backup};
  for (const Files& files : {scenario.before, after, Current()}) {
    for (const auto& [name, content] : files) allowed.insert(name);
  }

  // The count may differ a little from run to run (a body arrives in more or fewer pieces),
  // so the steps go on until a run ends by itself.
  std::vector<std::string> faults;
  unsigned long step = 1;
  for (;; ++step) {
    ASSERT_LE(step, 2 * counted + 20) << "the run never got past its steps";
    Reset(scenario.before);
    const RunResult killed = Run(step);
    ASSERT_FALSE(killed.timedOut) << "step " << step;
    const bool ended = killed.exitCode == 0;
    ASSERT_TRUE(ended || killed.exitCode == 128 + SIGKILL)
        << "step " << step << " ended with " << killed.exitCode << ": " << killed.err;
    std::string fault = StateFault(after, Current());
    const RunResult again = Run(std::nullopt);
    EXPECT_EQ(again.err, "") << "step " << step;
    fault += LeftBehind(Current(), allowed);
    if (!fault.empty()) faults.push_back("step " + std::to_string(step) + ": " + fault);
    if (ended) break;
  }
  std::string report;
  for (const std::string& fault : faults) report += "\n  " + fault;
  EXPECT_TRUE(faults.empty()) << faults.size() << " of " << step << " steps:" << report;
  RecordProperty("steps", static_cast<int>(step));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, KillSteps, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                           return std::string(info.param.id);
                         });

}  // namespace
}  // namespace vrk_test
