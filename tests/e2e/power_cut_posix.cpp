// A power cut right after a run that reported success: on ext4, xfs and btrfs images, the
// file system is shut down without flushing its log the moment the tool has ended, and
// mounted again. The delivered text or download must be there whole, and the previous file
// under ".old". Mounting needs root and loop devices: elsewhere the test skips.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "pattern_files.h"
#include "tests/support/child_process.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

using Files = std::map<std::string, std::string>;

struct Case {
  const char* what;
  Files before;
  std::vector<std::string> arguments;  // the URL's path first
  Files after;
};

bool OnPath(const std::string& program) {
  for (const char* folder : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}) {
    if (::access((std::string(folder) + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

Files FilesIn(const std::string& folder) {
  Files files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files[entry.path().filename().string()] = Read(entry.path().string());
  }
  return files;
}

// Names and sizes, and the first differing file, without printing megabytes.
::testing::AssertionResult Same(const Files& got, const Files& expected) {
  if (got == expected) return ::testing::AssertionSuccess();
  auto failure = ::testing::AssertionFailure() << "found";
  for (const auto& [name, bytes] : got) failure << " " << name << " (" << bytes.size() << " bytes)";
  failure << "; expected";
  for (const auto& [name, bytes] : expected) failure << " " << name << " (" << bytes.size() << " bytes)";
  return failure;
}

class PowerCut : public ::testing::TestWithParam<std::string> {
 protected:
  PowerCut() : server_(ConnectionPlan::Http(Serve)) {}

  // A fresh image of the file system, or the reason there is none.
  std::string MakeImage(std::string& image) {
    const std::string& type = GetParam();
    if (::geteuid() != 0) return "mounting needs root";
    if (!OnPath("mkfs." + type) || !OnPath("xfs_io") || !OnPath("unshare")) {
      return "mkfs." + type + ", xfs_io or unshare is not installed";
    }
    image = folder_.Inside(type + ".img");
    // xfs takes no less than 300 MiB; the image is sparse.
    std::filesystem::resize_file(folder_.Put(type + ".img", ""), std::uintmax_t{320} << 20);
    ChildProcess mkfs("mkfs." + type, [&] {
      ChildOptions options = Arguments({type == "ext4" ? "-F" : "-f", "-q", image});
      options.outputFile = folder_.Inside("mkfs.log");
      return options;
    }());
    const auto made = mkfs.Wait(std::chrono::seconds(60));
    if (made != 0) return "mkfs." + type + " failed: " + folder_.Get("mkfs.log");
    return "";
  }

  // The case's files laid on the image, the tool run there, the power cut, and what survived.
  void Run(const std::string& image, const Case& c, int number) {
    SCOPED_TRACE(c.what);
    const std::string before = folder_.Inside("before" + std::to_string(number));
    const std::string after = folder_.Inside("after" + std::to_string(number));
    const std::string mount = folder_.Inside("mount");
    for (const std::string& path : {before, after, mount}) std::filesystem::create_directories(path);
    for (const auto& [name, bytes] : c.before) Write(before + "/" + name, bytes);

    std::vector<std::string> arguments = {"-m",   "--propagation", "private",
                                          "bash", kScript,         image,
                                          mount,  before,          after,
                                          folder_.Inside(ToolFolder::ExecutableName()),
                                          server_.Url(c.arguments[0])};
    arguments.insert(arguments.end(), c.arguments.begin() + 1, c.arguments.end());
    ChildOptions options = Arguments(arguments);
    options.outputFile = folder_.Inside("run.log");
    options.environment = {"no_proxy=127.0.0.1", "NO_PROXY=127.0.0.1"};
    ChildProcess run("unshare", options);
    const auto status = run.Wait(std::chrono::seconds(120));
    if (status == 77) GTEST_SKIP() << GetParam() << ": " << folder_.Get("run.log");
    ASSERT_EQ(status, 0) << folder_.Get("run.log");
    EXPECT_EQ(folder_.Get("run.log"), "");
    EXPECT_TRUE(Same(FilesIn(after), c.after));
  }

  static constexpr const char* kScript = VRK_SOURCE_DIR "/tests/e2e/power_cut.sh";
  ScriptedServer server_;
  ToolFolder folder_;
};

TEST_P(PowerCut, DeliveredTextAndDownloadSurviveWithTheirBackups) {
  std::string image;
  const std::string why = MakeImage(image);
  if (!why.empty()) GTEST_SKIP() << why;
  const std::string small = Pattern(4096);
  const std::string spooled = Pattern(3 * kMiB);
  const std::vector<Case> cases = {
      {"a small text", {{"out.txt", "previous"}}, {"/4096", "W", "out.txt"},
       {{"out.txt", small}, {"out.old", "previous"}}},
      {"a small text beside an earlier backup", {{"out.txt", "previous"}, {"out.old", "older"}},
       {"/4096", "W", "out.txt"}, {{"out.txt", small}, {"out.old", "older"}}},
      {"a spooled text", {{"out.txt", "previous"}}, {"/" + std::to_string(spooled.size()), "W", "out.txt"},
       {{"out.txt", spooled}, {"out.old", "previous"}}},
      {"a spooled text beside an earlier backup", {{"out.txt", "previous"}, {"out.old", "older"}},
       {"/" + std::to_string(spooled.size()), "W", "out.txt"},
       {{"out.txt", spooled}, {"out.old", "older"}}},
      {"a download swapped in", {{"tool.exe", "old program"}},
       {"/4096.dat", "x", "tool.dat", "ext", "exe"}, {{"tool.exe", small}, {"tool.old", "old program"}}},
  };
  for (std::size_t i = 0; i < cases.size() && !IsSkipped(); ++i) Run(image, cases[i], static_cast<int>(i));
}

INSTANTIATE_TEST_SUITE_P(FileSystems, PowerCut, ::testing::Values("ext4", "xfs", "btrfs"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace vrk_test
