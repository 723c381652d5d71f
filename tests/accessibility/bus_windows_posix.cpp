// The window calls over the accessibility bus: another program's window and text fields as
// the emulation hands them out, against the GTK receiving program on a bus of the test's own.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/winapi.h"
#include "tests/support/accessibility_session.h"

// libatspi keeps strings it copies with GLib while dispatching the bus's signals during a call;
// they are its own, not this code's. GLib has no frame pointers, so the leak checker of the
// sanitizer build sees only GLib on the stack; here only libatspi brings GLib in.
extern "C" const char* __lsan_default_suppressions() { return "leak:libglib-2.0.so\n"; }

namespace {

using vrk_test::AccessibilitySession;
using vrk_test::GtkReceiver;

std::string Text(HWND window) {
  char buffer[256] = {};
  const int length = GetWindowTextA(window, buffer, 255);
  return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

BOOL CALLBACK Collect(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevel() {
  std::vector<HWND> windows;
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND Titled(const std::string& title) {
  for (HWND window : TopLevel()) {
    if (Text(window) == title) return window;
  }
  return nullptr;
}

class BusWindows : public ::testing::Test {
 protected:
  // libatspi joins a bus once a process; ctest runs each test in a process of its own.
  static void SetUpTestSuite() {
    if (!vrk_test::AccessibilitySessionPossible()) return;
    session_ = std::make_unique<AccessibilitySession>();
    session_->Join();
  }
  static void TearDownTestSuite() { session_.reset(); }
  void SetUp() override {
    if (!session_) GTEST_SKIP() << "needs an X display, dbus-daemon and GTK for Python";
  }

  static inline std::unique_ptr<AccessibilitySession> session_;
};

TEST_F(BusWindows, OtherProgramsWindowsFollowTheOwnWithTheirTitles) {
  // Longer than the buffer, with a two-byte letter across the cut at 254 bytes.
  std::string longTitle = "Trovane";
  while (longTitle.size() < 300) longTitle += "ř";
  GtkReceiver receiver(*session_, "Trovane");
  GtkReceiver longer(*session_, longTitle);
  ASSERT_TRUE(receiver.Shown() && longer.Shown());
  HWND own = CreateWindowExA(0, "EDIT", "Vlastni", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);

  std::vector<HWND> windows = TopLevel();
  ASSERT_FALSE(windows.empty());
  EXPECT_EQ(windows.front(), own);
  HWND trovane = Titled("Trovane");
  ASSERT_NE(trovane, nullptr);
  EXPECT_TRUE(IsWindow(trovane));
  EXPECT_EQ(Titled("Trovane"), trovane) << "one window, one handle";
  EXPECT_EQ(GetWindowTextLengthA(trovane), 7);

  // Cut at 254 bytes, but never inside a letter.
  std::string cut;
  for (HWND window : windows) {
    if (Text(window).starts_with("Trovaneř")) cut = Text(window);
  }
  EXPECT_EQ(cut.size(), 253u);
  EXPECT_EQ(cut, longTitle.substr(0, 253));
  DestroyWindow(own);
}

TEST_F(BusWindows, TextFieldsAreDescendantsAndTakeTheirTextAsUtf8) {
  GtkReceiver receiver(*session_, "Trovane");
  ASSERT_TRUE(receiver.Shown());
  HWND trovane = Titled("Trovane");
  ASSERT_NE(trovane, nullptr);
  std::vector<HWND> descendants;
  EnumChildWindows(trovane, Collect, reinterpret_cast<LPARAM>(&descendants));
  std::vector<std::string> texts;
  HWND pocasi = nullptr;
  for (HWND descendant : descendants) {
    if (Text(descendant) == "Pocasi") pocasi = descendant;
    if (!Text(descendant).empty()) texts.push_back(Text(descendant));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"jine", "Pocasi"}));
  ASSERT_NE(pocasi, nullptr);

  // Bytes that are not UTF-8 become U+FFFD, one each; the zero ends the text.
  EXPECT_TRUE(SendMessageA(pocasi, WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>("Slune\xe8no, 21 \xb0" "C\0navic")));
  EXPECT_FALSE(SendMessageA(trovane, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x")))
      << "a window is no text field";
  EXPECT_EQ(receiver.Fields(), (std::vector<std::string>{
                                   "jine\tjine", "Pocasi\tSlune\uFFFDno, 21 \uFFFDC"}));
}

}  // namespace
