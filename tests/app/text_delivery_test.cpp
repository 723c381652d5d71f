// Delivery of a fetched text: finding the receiving program and control among real windows,
// the choice between window, file and clipboard, and the file rules.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>

#include "app/Unit1.h"
#include "app/settings.h"
#include "app/text_delivery.h"
#include "framework/exceptions.h"
#include "platform/winapi.h"
#include "tests/support/expect_throw.h"
#include "tests/support/scratch_folder.h"

namespace vrk {
namespace {

using vrk_test::ScratchFolder;

// A top-level window of this process, destroyed with its children at the end of the test.
class TestWindow {
 public:
  explicit TestWindow(const char* title) : handle_(Make(title, nullptr)) {}
  ~TestWindow() { DestroyWindow(handle_); }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND Handle() const { return handle_; }
  HWND AddChild(const char* text, HWND parent = nullptr) const {
    return Make(text, parent ? parent : handle_);
  }

 private:
  static HWND Make(const char* text, HWND parent) {
    return CreateWindowExA(0, "EDIT", text, parent ? WS_CHILD : WS_POPUP, 0, 0, 100, 20, parent,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  HWND handle_;
};

std::string TextOf(HWND window) {
  char buffer[256] = {};
  return std::string(buffer, static_cast<std::size_t>(GetWindowTextA(window, buffer, 256)));
}

TEST(ReceivingProgram, TitleMatchesOverTenPositionsWithAsciiCaseFolded) {
  TestWindow program("dlvtitle-a extra");
  TestWindow shortTitle("DlvShort");
  ASSERT_NE(program.Handle(), nullptr);
  // A setting of 12 characters: only the first 10 count.
  EXPECT_EQ(FindReceivingProgram("DLVTITLE-AXY"), program.Handle());
  EXPECT_EQ(FindReceivingProgram("DlvTitle-B"), nullptr);
  // A shorter setting matches the whole title only.
  EXPECT_EQ(FindReceivingProgram("dlvshort"), shortTitle.Handle());
  EXPECT_EQ(FindReceivingProgram("DlvShor"), nullptr);
  EXPECT_EQ(FindReceivingProgram("DlvShort2"), nullptr);
}

TEST(ReceivingControl, WholeTextMatchAmongAllDescendants) {
  TestWindow program("DlvControls");
  program.AddChild("Pocasi 2");
  HWND nested = program.AddChild("POCASI", program.AddChild("panel"));
  EXPECT_EQ(FindReceivingControl(program.Handle(), "pocasi"), nested);
  EXPECT_EQ(FindReceivingControl(program.Handle(), "Pocas"), nullptr);
}

TEST(DeliveryChoice, FollowsProgramAndModeParameter) {
  EXPECT_EQ(ChooseDelivery(true, ""), DeliveryKind::Window);
  EXPECT_EQ(ChooseDelivery(true, "W"), DeliveryKind::File);
  EXPECT_EQ(ChooseDelivery(true, "x"), DeliveryKind::Clipboard);
  EXPECT_EQ(ChooseDelivery(false, "W"), DeliveryKind::File);
  EXPECT_EQ(ChooseDelivery(false, ""), DeliveryKind::Clipboard);
  EXPECT_EQ(ChooseDelivery(false, "w"), DeliveryKind::Clipboard);  // compared exactly
}

TEST(FileDelivery, BackupIsMadeOnTheNameBeforeFurtherWordsJoinIt) {
  ScratchFolder folder;
  folder.Put("moje", "earlier");
  DeliverToFile(folder.Inside("moje").c_str(), {"data.txt", "", "", ""}, "fresh");
  EXPECT_EQ(folder.Get("moje data.txt"), "fresh");
  EXPECT_EQ(folder.Get("moje.old"), "earlier");
  EXPECT_EQ(folder.Names().size(), 2u);

  // An earlier backup stays; the file itself is overwritten.
  folder.Put("out.txt", "second");
  folder.Put("out.old", "first");
  DeliverToFile(folder.Inside("out.txt").c_str(), {}, "third");
  EXPECT_EQ(folder.Get("out.txt"), "third");
  EXPECT_EQ(folder.Get("out.old"), "first");
}

TEST(FileDelivery, UncreatableFileIsReportedWithItsNameAndChangesNothing) {
  ScratchFolder folder;
  folder.Put("moje", "earlier");
  std::filesystem::create_directory(folder.Path() / "moje data.txt");
  const Text moje = folder.Inside("moje").c_str();
  // A missing folder, and a folder where the file should be: the backup made of "moje"
  // on the way is put back.
  for (const auto& [name, words] :
       {std::pair{Text(folder.Inside("missing/out.txt").c_str()), std::array<Text, 4>{}},
        std::pair{moje, std::array<Text, 4>{"data.txt", "", "", ""}}}) {
    EXPECT_THROW_MSG(DeliverToFile(name, words, "lost"), EFileCreateError,
                     "Cannot create file " + DeliveryFileName(name, words).ToStdString());
  }
  EXPECT_EQ(folder.Get("moje"), "earlier");
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"moje", "moje data.txt"}));
}

// DeliverText as the success handler runs it, with the parameters given directly.
class DeliverTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ProgramSetting = "DlvReceiver-1";
    EditSetting = "Pocasi";
  }
  void TearDown() override { ProgramSetting = "Trovane"; }
  static DeliveryParameters Parameters(const char* mode, const std::string& file = "") {
    return DeliveryParameters{mode, file.c_str(), {}};
  }

  ScratchFolder folder_;
  TestWindow program_{"DlvReceiver-1"};
  TMain form_{nullptr};
};

TEST_F(DeliverTextTest, ReceivingControlGetsTheTextUpToItsFirstZeroByte) {
  HWND control = program_.AddChild("pocasi");
  form_.DeliverText(Text("line 1\r\nline 2\0hidden", 21), Parameters(""));
  EXPECT_EQ(TextOf(control), "line 1\r\nline 2");
}

TEST_F(DeliverTextTest, ProgramWithoutTheControlGetsNothingAndNoFileIsWritten) {
  HWND other = program_.AddChild("Teplota");
  form_.DeliverText("text", Parameters("", folder_.Inside("out.txt")));
  EXPECT_EQ(TextOf(other), "Teplota");
  EXPECT_TRUE(folder_.Names().empty());
}

TEST_F(DeliverTextTest, ModeWGoesToTheFileEvenWhenTheProgramRuns) {
  HWND control = program_.AddChild("Pocasi");
  form_.DeliverText(Text("a\0b", 3), Parameters("W", folder_.Inside("out.txt")));
  EXPECT_EQ(folder_.Get("out.txt"), "a");
  EXPECT_EQ(TextOf(control), "Pocasi");
}

TEST_F(DeliverTextTest, ModeWWithoutFileNameFailsWithRangeError) {
  EXPECT_THROW_MSG(form_.DeliverText("text", Parameters("W")), ERangeError, "Range check error");
}

}  // namespace
}  // namespace vrk
