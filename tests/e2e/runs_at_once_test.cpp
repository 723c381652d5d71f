// Batch files start the tool several times at once on one target. Every run must succeed, one
// after another, and the target end as one run's whole result with the user's earlier file as
// its ".old", in every round.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

constexpr int kRuns = 32;
// A race that loses the program's mode showed in about one round in twenty.
constexpr int kRounds = 10;
const std::string kUsersFile = "the user's own file\r\n";

// Run i fetches /i/NAME, whose body names i; downloads are large enough to take a while.
std::string Body(const std::string& path) {
  const std::string run = path.substr(1, path.find('/', 1) - 1);
  const bool binary = path.ends_with(".dat");
  return "run " + run + "\r\n" + std::string(binary ? 200000 : 100, binary ? 'b' : 't');
}

struct Case {
  const char* name;
  const char* resource;                // fetched as /i/resource
  std::vector<std::string> arguments;  // after the URL
  const char* target;                  // the file every run replaces
  const char* backup;                  // its ".old", the user's file at the end
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class RunsAtOnce : public ::testing::TestWithParam<Case> {
 protected:
  RunsAtOnce()
      : server_(ConnectionPlan::Http([](const HttpRequest& request) {
          return HttpResponse::Text(200, Body(request.target));
        })) {}

  ScriptedServer server_;
};

TEST_P(RunsAtOnce, EveryRunSucceedsAndTheUsersFileIsKept) {
  const Case& c = GetParam();
  std::set<std::string> bodies;
  for (int i = 0; i < kRuns; ++i) bodies.insert(Body("/" + std::to_string(i) + "/" + c.resource));
  for (int round = 0; round < kRounds; ++round) {
    ToolFolder folder;
    const std::string target = folder.Put(c.target, kUsersFile);
#ifndef _WIN32
    const bool program = std::string(c.target).ends_with(".exe");
    if (program) ::chmod(target.c_str(), 0755);
#endif
    std::vector<std::vector<std::string>> argumentLists;
    for (int i = 0; i < kRuns; ++i) {
      argumentLists.push_back({server_.Url("/" + std::to_string(i) + "/" + c.resource)});
      argumentLists.back().insert(argumentLists.back().end(), c.arguments.begin(), c.arguments.end());
    }
    const std::vector<RunResult> results =
        folder.RunAtOnce(argumentLists, {"no_proxy=127.0.0.1", "NO_PROXY=127.0.0.1"});
    for (int i = 0; i < kRuns; ++i) {
      EXPECT_FALSE(results[i].timedOut) << "round " << round << ", run " << i;
      EXPECT_EQ(results[i].err + results[i].out, "") << "round " << round << ", run " << i;
    }
    EXPECT_EQ(bodies.count(folder.Get(c.target)), 1u) << "round " << round << ": " << folder.Get(c.target).substr(0, 60);
    EXPECT_EQ(folder.Get(c.backup), kUsersFile) << "round " << round;
#ifndef _WIN32
    struct stat info {};
    ASSERT_EQ(::stat(folder.Inside(c.target).c_str(), &info), 0);
    if (program) {
      EXPECT_NE(info.st_mode & 0100, 0u) << "round " << round << ": the program's mode";
    }
#endif
    if (::testing::Test::HasFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(
    OneTarget, RunsAtOnce,
    ::testing::Values(Case{"TextToAFile", "text.txt", {"W", "out.txt"}, "out.txt", "out.old"},
                      Case{"DownloadSwappedIn", "tool.dat", {"x", "tool.dat", "ext", "exe"},
                           "tool.exe", "tool.old"}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
}  // namespace vrk_test
