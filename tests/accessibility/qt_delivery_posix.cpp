// The tool delivering into a Qt program on the Linux desktop: each kind of top-level window
// Qt publishes, a main window (a frame on the bus), a dialog and a plain widget (a filler).
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/e2e/vrk_runner.h"
#include "tests/support/accessibility_session.h"
#include "tools/scripted_server/scripted_server.h"

namespace vrk_test {

const char* const kKindNames[] = {"MainWindow", "Dialog", "PlainWidget"};

// Named so in the tests' listing.
void PrintTo(QtWindow kind, std::ostream* out) { *out << kKindNames[static_cast<int>(kind)]; }

namespace {

const std::string kText = "Zítra jasno, 25 °C, vítr slabý";

class QtDelivery : public ::testing::TestWithParam<QtWindow> {
 protected:
  static void SetUpTestSuite() {
    if (!AccessibilitySessionPossible() || !QtReceiverPossible()) return;
    session_ = std::make_unique<AccessibilitySession>();
    session_->Join();
  }
  static void TearDownTestSuite() { session_.reset(); }

  void SetUp() override {
    if (session_) return;
    if (std::getenv("CI") != nullptr) FAIL() << "no desktop: Xvfb, dbus-daemon or Qt 5 missing";
    GTEST_SKIP() << "needs Xvfb, dbus-daemon and Qt 5 for Python (scripts/install-deps.sh)";
  }

  static inline std::unique_ptr<AccessibilitySession> session_;
  ScriptedServer server_{ConnectionPlan::Http(
      [](const HttpRequest&) { return HttpResponse::Text(200, kText); })};
  ToolFolder folder_;
};

TEST_P(QtDelivery, TextReachesTheField) {
  QtReceiver receiver(*session_, GetParam());
  ASSERT_TRUE(receiver.Shown()) << "the Qt program is not on the bus";
  RunResult run = folder_.Run({server_.Url("/pocasi.txt")}, "", {"no_proxy=127.0.0.1"});
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_EQ(receiver.Fields(), (std::vector<std::string>{"jine\tjine", "Pocasi\t" + kText}));
}

std::string KindName(const ::testing::TestParamInfo<QtWindow>& info) {
  return kKindNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Windows, QtDelivery,
                         ::testing::Values(QtWindow::kMain, QtWindow::kDialog, QtWindow::kPlain),
                         KindName);

}  // namespace
}  // namespace vrk_test
