// Clipboard delivery with the desktop's real clipboard: Xvfb and xclip on POSIX, the Win32
// clipboard under Wine. The copied text is read back from outside the tool's edit control.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/Unit1.h"
#include "app/text_delivery.h"
#include "framework/exceptions.h"
#include "platform/winapi.h"
#include "tests/support/expect_throw.h"
#include "tests/support/host.h"
#include "tests/support/scratch_folder.h"

#ifndef _WIN32
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/x_clipboard.h"
#endif

namespace vrk {
namespace {

const char kSample[] = "P\xC5\x99\x65\x64pov\xC4\x9B\xC4\x8F\r\nline 2";

DeliveryParameters ToClipboard() { return DeliveryParameters{"x", "", {}}; }

#ifndef _WIN32

std::string ReadClipboard() { return vrk_test::XClipboardText(); }

#define REQUIRE_X_CLIPBOARD()                                                                 \
  if (!vrk_test::XClipboardReachable())                                                       \
  GTEST_SKIP() << "No X display with xclip: run under scripts/test.sh, which starts Xvfb, " \
                  "or set DISPLAY and install xclip"

// Copies from a forked process, whose output goes to a pipe; true when the pipe reaches its
// end within 10 seconds of the process ending. The clipboard holder outlives the copying
// process and must not keep that output open, or whoever reads the tool's output would wait
// for it forever.
bool OutputEndsAfterCopyInChild(const char* text, bool* copied) {
  int output[2];
  if (pipe(output) != 0) return false;
  pid_t child = fork();
  if (child == 0) {
    dup2(output[1], 1);
    dup2(output[1], 2);
    close(output[0]);
    close(output[1]);
    HWND edit = CreateWindowExA(0, "EDIT", text, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    SendMessageA(edit, EM_SETSEL, 0, -1);
    SetLastError(ERROR_SUCCESS);
    SendMessageA(edit, WM_COPY, 0, 0);
    _exit(GetLastError() == ERROR_SUCCESS ? 0 : 1);
  }
  close(output[1]);
  bool ended = false;
  pollfd watch{output[0], POLLIN, 0};
  for (int round = 0; child > 0 && round < 100 && !ended; ++round) {
    if (poll(&watch, 1, 100) <= 0) continue;
    char byte;
    ended = read(output[0], &byte, 1) == 0;
  }
  close(output[0]);
  int status = 0;
  if (child > 0) waitpid(child, &status, 0);
  *copied = child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return ended;
}

// One test, so that no other test of this program changes the clipboard in between.
TEST(ClipboardDelivery, TextLandsOnTheDesktopClipboardAndOutlivesTheCopier) {
  REQUIRE_X_CLIPBOARD();
  TMain form(nullptr);
  form.DeliverText(kSample, ToClipboard());
  EXPECT_EQ(ReadClipboard(), kSample);

  bool copied = false;
  EXPECT_TRUE(OutputEndsAfterCopyInChild("from a child", &copied))
      << "the copying process's output stayed open after it ended";
  EXPECT_TRUE(copied);
  EXPECT_EQ(ReadClipboard(), "from a child");
}

TEST(ClipboardDelivery, NoReachableClipboardRaisesAClearError) {
  vrk_test::SavedVariables saved({"DISPLAY", "WAYLAND_DISPLAY"});
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  TMain form(nullptr);
  EXPECT_THROW_MSG(form.DeliverText("text", ToClipboard()), Exception,
                   "Cannot copy the text to the clipboard: no clipboard can be reached");
}

// A Wayland session whose wl-copy finds no seat: the X clipboard serves, and where there is
// none either, the box tells wl-copy's reason.
TEST(ClipboardDelivery, ARefusingToolHandsOverToTheNextAndIsNamedWhenAllRefuse) {
  REQUIRE_X_CLIPBOARD();
  vrk_test::ScratchFolder tools;
  const std::string standIn = tools.Put("wl-copy", "#!/bin/sh\necho 'Failed to connect to a Wayland server' >&2\nexit 1\n");
  ASSERT_EQ(chmod(standIn.c_str(), 0755), 0);
  vrk_test::SavedVariables saved({"PATH", "DISPLAY", "WAYLAND_DISPLAY"});
  setenv("PATH", (tools.Path().string() + ":" + std::getenv("PATH")).c_str(), 1);
  setenv("WAYLAND_DISPLAY", "wayland-without-seat", 1);
  TMain form(nullptr);
  form.DeliverText("through X", ToClipboard());
  EXPECT_EQ(ReadClipboard(), "through X");

  unsetenv("DISPLAY");
  EXPECT_THROW_MSG(form.DeliverText("text", ToClipboard()), Exception,
                   "Cannot copy the text to the clipboard: no clipboard can be reached "
                   "(wl-copy: Failed to connect to a Wayland server)");
}

// A copying tool that takes the text and ends well, but whose holder never keeps it (xclip
// whose holder cannot be forked under a process limit): the old text stays, and the box says so.
TEST(ClipboardDelivery, AHolderThatDoesNotKeepTheTextIsAFailure) {
  REQUIRE_X_CLIPBOARD();
  ASSERT_TRUE(vrk_test::SetXClipboardText("old text"));
  vrk_test::ScratchFolder tools;
  const std::string real = vrk_test::CommandOutput("command -v xclip | tr -d '\\n'");
  const std::string standIn = tools.Put(
      "xclip", "#!/bin/sh\nfor a; do [ \"$a\" = -o ] && exec " + real + " \"$@\"; done\ncat >/dev/null\n");
  ASSERT_EQ(chmod(standIn.c_str(), 0755), 0);
  vrk_test::SavedVariables saved({"PATH", "WAYLAND_DISPLAY"});
  setenv("PATH", (tools.Path().string() + ":" + std::getenv("PATH")).c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
  TMain form(nullptr);
  EXPECT_THROW_MSG(form.DeliverText("text", ToClipboard()), Exception,
                   "Cannot copy the text to the clipboard: no clipboard can be reached "
                   "(xclip: the text did not stay on the clipboard)");
  EXPECT_EQ(ReadClipboard(), "old text");
}

#else

std::string ReadClipboard() {
  std::string text;
  for (int attempt = 0; attempt < 50 && !OpenClipboard(nullptr); ++attempt) Sleep(100);
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (auto* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

TEST(ClipboardDelivery, HolderTextLandsOnTheSystemClipboard) {
  TMain form(nullptr);
  form.DeliverText(kSample, ToClipboard());
  EXPECT_EQ(ReadClipboard(), kSample);
  form.DeliverText("second", ToClipboard());
  EXPECT_EQ(ReadClipboard(), "second");
}

#endif

}  // namespace
}  // namespace vrk
