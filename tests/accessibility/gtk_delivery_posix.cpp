// The tool delivering into another program on the Linux desktop: the GTK receiving program's
// "Pocasi" field over the accessibility bus, in the cases of the Windows receiver.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/tls_peer_process.h"
#include "tests/e2e/vrk_runner.h"
#include "tests/support/accessibility_session.h"
#include "tests/support/x_clipboard.h"
#include "tools/scripted_server/scripted_server.h"

namespace vrk_test {
namespace {

const std::string kText = "Zítra jasno, 25 °C, vítr slabý";
const std::string kClipboard = "schranka pred behem";
const std::vector<std::string> kUntouched = {"jine\tjine", "Pocasi\tPocasi"};
const std::vector<std::string> kDelivered = {"jine\tjine", "Pocasi\t" + kText};

// Whether a session bus was started through this display: libdbus does that, and leaves it
// running, for a program that asks for the session bus where none is named.
bool SessionBusAutolaunched() {
  const std::string display = std::string("DISPLAY=") + std::getenv("DISPLAY");
  for (const auto& process : std::filesystem::directory_iterator("/proc")) {
    std::ifstream command(process.path() / "cmdline");
    std::string program;
    std::getline(command, program, '\0');
    if (program != "dbus-launch") continue;
    std::ifstream environment(process.path() / "environ");
    for (std::string entry; std::getline(environment, entry, '\0');) {
      if (entry == display) return true;
    }
  }
  return false;
}

class GtkDelivery : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!AccessibilitySessionPossible()) return;
    session_ = std::make_unique<AccessibilitySession>();
    // The tool and xclip are started with this desktop.
    session_->Join();
  }
  static void TearDownTestSuite() { session_.reset(); }

  void SetUp() override {
    if (!session_) {
      if (std::getenv("CI") != nullptr) FAIL() << "no desktop: Xvfb, dbus-daemon or GTK missing";
      GTEST_SKIP() << "needs Xvfb, dbus-daemon and GTK for Python (scripts/install-deps.sh)";
    }
    // The clipboard holds something of its own, which a delivery elsewhere must not touch.
    SetClipboard(kClipboard);
  }

  static void SetClipboard(const std::string& text) {
    ASSERT_TRUE(SetXClipboardText(text)) << "the clipboard did not take the text";
  }

  RunResult Run(const std::vector<std::string>& arguments,
                std::vector<std::string> environment = {}) {
    environment.push_back("no_proxy=127.0.0.1");
    return folder_.Run(arguments, "", environment);
  }
  std::string Url() const { return server_.Url("/pocasi.txt"); }

  static inline std::unique_ptr<AccessibilitySession> session_;
  ScriptedServer server_{ConnectionPlan::Http(
      [](const HttpRequest&) { return HttpResponse::Text(200, kText); })};
  ToolFolder folder_;
};

TEST_F(GtkDelivery, TextReachesTheFieldWithItsLettersAndNothingElse) {
  GtkReceiver receiver(*session_, "Trovane");
  ASSERT_TRUE(receiver.Shown());
  RunResult run = Run({Url()});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_EQ(receiver.Fields(), (std::vector<std::string>{"jine\tjine", "Pocasi\t" + kText}));
  EXPECT_EQ(XClipboardText(), kClipboard);
  EXPECT_TRUE(folder_.FilesBesideTheTool().empty());
}

TEST_F(GtkDelivery, TextFetchedOverTlsReachesTheField) {
  TlsPeerProcess peer(server_.Port(), {"good"});
  GtkReceiver receiver(*session_, "Trovane");
  ASSERT_TRUE(receiver.Shown());
  RunResult run = Run({"https://localhost:" + std::to_string(peer.Port(0)) + "/pocasi.txt"}, peer.ToolEnvironment());
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_EQ(receiver.Fields(), (std::vector<std::string>{"jine\tjine", "Pocasi\t" + kText}));
}

TEST_F(GtkDelivery, TitleMatchesInAnyCaseByItsFirstTenCharacters) {
  GtkReceiver receiver(*session_, "TROVANE - zitra");
  ASSERT_TRUE(receiver.Shown());
  folder_.WriteSettings("[Main]\nProgram=trovane - dnes\nEdit=POCASI\n");
  Run({Url()});
  EXPECT_EQ(receiver.Fields(), (std::vector<std::string>{"jine\tjine", "Pocasi\t" + kText}));
}

// Positions are letters, not UTF-8 bytes: a title of nine Czech letters ends where the setting
// has its tenth (its bytes would agree up to there), while one that agrees in its first ten
// letters is the program. What is passed over gets the clipboard instead.
TEST_F(GtkDelivery, CzechTitleMatchesByItsFirstTenLetters) {
  folder_.WriteSettings("[Main]\nProgram=Žluťoučký kůň\n");
  const struct {
    std::string title;
    bool reached;
  } rows[] = {{"Žluťoučký", false}, {"Žluťoučký kůň úpěl", true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.title);
    SetClipboard(kClipboard);
    GtkReceiver receiver(*session_, row.title);
    ASSERT_TRUE(receiver.Shown());
    EXPECT_EQ(Run({Url()}).err, "");
    EXPECT_EQ(receiver.Fields(), row.reached ? kDelivered : kUntouched);
    EXPECT_EQ(XClipboardText(), row.reached ? kClipboard : kText);
  }
}

TEST_F(GtkDelivery, ProgramWithoutTheFieldGetsNothingAndNothingElseHappens) {
  GtkReceiver receiver(*session_, "Trovane", {"jine", "Vitr"});
  ASSERT_TRUE(receiver.Shown());
  RunResult run = Run({Url()});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_EQ(receiver.Fields(), (std::vector<std::string>{"jine\tjine", "Vitr\tVitr"}));
  EXPECT_EQ(XClipboardText(), kClipboard);
  EXPECT_TRUE(folder_.FilesBesideTheTool().empty());
}

TEST_F(GtkDelivery, AModeSendsTheTextPastTheRunningProgram) {
  GtkReceiver receiver(*session_, "Trovane");
  ASSERT_TRUE(receiver.Shown());
  Run({Url(), "W", "vysledek.txt"});
  EXPECT_EQ(folder_.Get("vysledek.txt"), kText);
  EXPECT_EQ(XClipboardText(), kClipboard);
  Run({Url(), "x"});
  EXPECT_EQ(XClipboardText(), kText);
  EXPECT_EQ(receiver.Fields(), kUntouched);
}

TEST_F(GtkDelivery, WithoutAReachableBusTheTextGoesToTheClipboardQuietly) {
  GtkReceiver receiver(*session_, "Trovane");
  ASSERT_TRUE(receiver.Shown());
  // No session at all: nothing is started for the search either.
  RunResult run = Run({Url()}, {"DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "XDG_RUNTIME_DIR"});
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_EQ(XClipboardText(), kText);
  EXPECT_FALSE(SessionBusAutolaunched());
  // A bus named but gone: the bus library's complaints stay off the tool's error stream.
  SetClipboard(kClipboard);
  run = Run({Url()}, {"AT_SPI_BUS_ADDRESS=unix:path=" + folder_.Inside("gone")});
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_EQ(XClipboardText(), kText);
  EXPECT_EQ(receiver.Fields(), kUntouched);
}

TEST_F(GtkDelivery, AProgramThatDoesNotAnswerIsPassedOver) {
  GtkReceiver hung(*session_, "Trovane");
  GtkReceiver answering(*session_, "Trovane");
  ASSERT_TRUE(hung.Shown() && answering.Shown());
  hung.Pause();
  RunResult run = Run({Url()});
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(answering.Fields(), (std::vector<std::string>{"jine\tjine", "Pocasi\t" + kText}));
  EXPECT_EQ(hung.Fields(), kUntouched);
}

}  // namespace
}  // namespace vrk_test
