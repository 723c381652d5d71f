// The tool's scenarios under the allocation torture (allocation_sweep.h): a text to a file, a
// large text gathered beside its file, the clipboard, a download swapped in with "ext", the
// proxy command and a chain of redirections through a name lookup. Here every Nth allocation,
// so that the suite stays within minutes; scripts/alloc-torture.sh runs every one.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "tests/alloc/allocation_sweep.h"
#include "tests/e2e/vrk_runner.h"
#include "tests/support/child_process.h"
#include "tests/support/own_x_display.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/x_clipboard.h"
#include "tools/scripted_server/scripted_server.h"

namespace vrk_test {
namespace {

const std::string kText = "Teplota 21 C\r\nVitr slaby\r\n";
const std::string kBinary = std::string("MZ\0\x01", 4) + std::string(70000, 'b');
const std::vector<std::string> kNoProxy = {"no_proxy=127.0.0.1,localhost", "NO_PROXY=127.0.0.1,localhost",
                                           "http_proxy=", "HTTP_PROXY="};

// Larger than a text kept in memory: it gathers beside its target as it comes.
std::string LargeText() {
  std::string bytes((3 << 19) + 5, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251 + 1);
  return bytes;
}


class AllocationTorture : public ::testing::Test {
 protected:
  AllocationTorture()
      : server_(ConnectionPlan::Http([this](const HttpRequest& request) {
          const std::string here = "127.0.0.1:" + std::to_string(port_.load());
          if (request.target == "/text") return HttpResponse::Text(200, kText);
          if (request.target == "/large") return HttpResponse::Text(200, LargeText());
          if (request.target == "/tool.dat") return HttpResponse::Text(200, kBinary);
          // The second step names the server, so that the tool looks the name up.
          if (request.target == "/chain") {
            return HttpResponse::Redirect(302, "http://localhost:" + std::to_string(port_.load()) + "/on");
          }
          if (request.target == "/on") return HttpResponse::Redirect(301, "http://" + here + "/text");
          return HttpResponse::Text(404, "not here");
        })) {
    port_ = server_.Port();
  }

  // Sweeps the scenario and fails with the summary when any run went wrong.
  void Torture(const std::string& name, const Scenario& scenario, unsigned long stride) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the shim needs the optimised build's tool, whose allocations reach malloc";
#endif
    const SweepReport report = Sweep(scenario, stride);
    const std::string summary = Summary(name, report);
    std::cout << summary;
    EXPECT_GT(report.runs, 0u) << summary;
    EXPECT_EQ(report.failed, 0u) << summary;
  }

  std::string Url(const std::string& path) const { return server_.Url(path); }

  // The short text fetched from `path` over an out.txt that becomes out.old.
  Scenario TextOverAFile(const std::string& path) const {
    Scenario scenario;
    scenario.arguments = {Url(path), "W", "out.txt"};
    scenario.environment = kNoProxy;
    scenario.before = {{"out.txt", "previous"}};
    scenario.after = {{"out.txt", kText}, {"out.old", "previous"}};
    return scenario;
  }

  std::atomic<std::uint16_t> port_{0};
  ScriptedServer server_;
};

TEST_F(AllocationTorture, TextToAFile) { Torture("text to a file", TextOverAFile("/text"), 1); }

TEST_F(AllocationTorture, LargeTextGatheredBesideItsFile) {
  Scenario scenario;
  scenario.arguments = {Url("/large"), "W", "large.txt"};
  scenario.environment = kNoProxy;
  scenario.before = {{"large.txt", "previous"}};
  scenario.after = {{"large.txt", LargeText()}, {"large.old", "previous"}};
  Torture("large text", scenario, 1);
}

TEST_F(AllocationTorture, TextOntoTheClipboard) {
  if (std::system("test -x /usr/bin/Xvfb && command -v xclip >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "needs Xvfb and xclip (scripts/install-deps.sh installs both)";
  }
  OwnXDisplay display;
  ASSERT_FALSE(display.Name().empty()) << "Xvfb did not start";
  const std::string marker = "before the run";
  const std::string xclip = "DISPLAY=" + display.Name() + " timeout 10 xclip -selection clipboard ";
  Scenario scenario;
  scenario.arguments = {Url("/text"), "x"};
  scenario.environment = kNoProxy;
  scenario.environment.insert(scenario.environment.end(), {"DISPLAY=" + display.Name(), "WAYLAND_DISPLAY"});
  scenario.prepare = [&] {
    std::system(("printf '" + marker + "' | " + xclip + "-i >/dev/null 2>&1").c_str());
  };
  scenario.delivered = [&](bool normal) -> std::string {
    const std::string held = CommandOutput(xclip + "-o 2>/dev/null");
    if (held == kText || (!normal && held == marker)) return "";
    return "the clipboard holds \"" + held.substr(0, 80) + "\"";
  };
  scenario.alone = true;
  Torture("clipboard", scenario, 2);
}

TEST_F(AllocationTorture, DownloadSwappedInWithExt) {
  Scenario scenario;
  scenario.arguments = {Url("/tool.dat"), "x", "tool.dat", "ext", "exe"};
  scenario.environment = kNoProxy;
  scenario.before = {{"tool.exe", "old program"}};
  scenario.after = {{"tool.exe", kBinary}, {"tool.old", "old program"}};
  scenario.between = {{"tool.dat", kBinary}};
  Torture("download with ext", scenario, 4);
}

TEST_F(AllocationTorture, ProxyCommand) {
  ScratchFolder registry("vrk-alloc-registry-");
  registry.Put("registry.reg",
               "Windows Registry Editor Version 5.00\r\n\r\n"
               "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings]\r\n"
               "\"ProxyEnable\"=dword:00000001\r\n\"ProxyServer\"=\"proxy.example:8080\"\r\n");
  Scenario scenario;
  scenario.arguments = {"proxy"};
  scenario.environment = {"VRK_REGISTRY=" + registry.Inside("registry.reg"), "http_proxy=", "HTTP_PROXY="};
  scenario.before = {{"vrk.ini", "[Main]\r\nIP=\r\nPort=0\r\n"}};
  scenario.after = {{"vrk.ini", "[Main]\r\nIP=proxy.example\r\nPort=8080\r\n"}};
  scenario.out = Box("Nápověda", "Nastavení proběhlo úspěšně\nProxy server je nastaven:\nIP: proxy.example\nPort: 8080");
  Torture("proxy command", scenario, 1);
}

TEST_F(AllocationTorture, RedirectionsThroughANameLookup) {
  Torture("redirections", TextOverAFile("/chain"), 1);
}

}  // namespace
}  // namespace vrk_test
