// The emulated message queue, timers and windows.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/winapi.h"

namespace {

std::vector<UINT> seen;

LRESULT CALLBACK Recorder(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER || message == WM_TIMER) seen.push_back(message);
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(const char* text = "", HWND parent = nullptr, const char* className = "QueueTest") {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = Recorder;
  windowClass.lpszClassName = "QueueTest";
  RegisterClassA(&windowClass);  // a second registration fails harmlessly
  return CreateWindowExA(0, className, text, parent ? WS_CHILD : 0, 0, 0, 10, 10, parent, nullptr,
                         nullptr, nullptr);
}

BOOL CALLBACK Collect(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectFirst(HWND window, LPARAM param) {
  Collect(window, param);
  return FALSE;
}

void DrainQueue() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST(MessageQueue, PostedMessagesComeInOrderThenQuitThenTimers) {
  HWND window = MakeWindow();
  seen.clear();
  SetTimer(window, 7, 10, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  PostMessageA(window, WM_USER + 1, 0, 0);
  PostMessageA(window, WM_USER + 2, 0, 0);
  PostQuitMessage(3);
  MSG msg;
  std::vector<UINT> order;
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    order.push_back(msg.message);
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
  // The due timer comes once the posted messages and the quit are gone.
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_TRUE(KillTimer(window, 7));
  EXPECT_FALSE(KillTimer(window, 7));
  DestroyWindow(window);
}

TEST(MessageQueue, FilterAndNoRemoveLeaveOtherMessagesQueued) {
  HWND window = MakeWindow();
  PostMessageA(window, WM_USER + 5, 0, 0);
  PostMessageA(window, WM_USER + 6, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 6, WM_USER + 6, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 6, WM_USER + 6, PM_REMOVE));
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  DestroyWindow(window);
}

TEST(MessageQueue, DestroyedWindowLosesItsMessagesAndTimers) {
  HWND window = MakeWindow();
  PostMessageA(window, WM_USER + 1, 0, 0);
  SetTimer(window, 1, 10, nullptr);
  DestroyWindow(window);
  std::this_thread::sleep_for(std::chrono::milliseconds(15));
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_FALSE(PostMessageA(window, WM_USER, 0, 0));
}

TEST(MessageQueue, WaitingEndsOnTimeoutOrWhenAnotherThreadPosts) {
  DrainQueue();
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 30, QS_ALLINPUT),
            static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));

  HWND window = MakeWindow();
  std::thread poster([window] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PostMessageA(window, WM_USER + 9, 0, 0);
  });
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT),
            static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  poster.join();
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 9));
  DestroyWindow(window);
}

TEST(MessageQueue, WaitMessageWakesForADueTimer) {
  HWND window = MakeWindow();
  DrainQueue();
  SetTimer(window, 2, 20, nullptr);
  auto start = std::chrono::steady_clock::now();
  WaitMessage();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(15));
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  DestroyWindow(window);
}

TEST(Windows, TextIsZeroTerminatedAndReadIntoABoundedBuffer) {
  HWND window = MakeWindow("Trovane");
  char buffer[256];
  EXPECT_EQ(GetWindowTextA(window, buffer, 255), 7);
  EXPECT_STREQ(buffer, "Trovane");
  std::string longTitle(400, 't');
  SetWindowTextA(window, longTitle.c_str());
  EXPECT_EQ(GetWindowTextA(window, buffer, 255), 254);
  EXPECT_EQ(std::string(buffer), std::string(254, 't'));
  DestroyWindow(window);
  EXPECT_EQ(GetWindowTextA(window, buffer, 255), 0);
  EXPECT_STREQ(buffer, "");
}

TEST(Windows, EnumerationFindsTopLevelWindowsAndAllDescendants) {
  HWND top = MakeWindow("top");
  HWND child = MakeWindow("child", top);
  HWND grandchild = MakeWindow("grandchild", child, "EDIT");
  std::vector<HWND> found;
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
  EXPECT_NE(std::find(found.begin(), found.end(), top), found.end());
  EXPECT_EQ(std::find(found.begin(), found.end(), child), found.end());
  found.clear();
  EnumChildWindows(top, Collect, reinterpret_cast<LPARAM>(&found));
  EXPECT_EQ(found, (std::vector<HWND>{child, grandchild}));
  // A callback returning FALSE stops the walk.
  found.clear();
  EnumChildWindows(top, CollectFirst, reinterpret_cast<LPARAM>(&found));
  EXPECT_EQ(found.size(), 1u);
  DestroyWindow(top);
  EXPECT_FALSE(IsWindow(grandchild));
}

TEST(Windows, EditControlKeepsTextUpToTheFirstZeroByte) {
  HWND parent = MakeWindow();
  HWND edit = MakeWindow("Pocasi", parent, "edit");
  ASSERT_NE(edit, nullptr);
  SendMessageA(edit, EM_LIMITTEXT, 0, 0);
  const char bytes[] = "a\r\nb\0c";
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(bytes));
  EXPECT_EQ(GetWindowTextLengthA(edit), 4);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  DWORD start = 9, end = 9;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 4u);
  DestroyWindow(parent);
}

TEST(Windows, ExtraBytesAndUserDataHoldPointers) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = Recorder;
  windowClass.cbWndExtra = static_cast<int>(sizeof(LONG_PTR));
  windowClass.lpszClassName = "ExtraBytes";
  ASSERT_TRUE(RegisterClassA(&windowClass));
  EXPECT_FALSE(RegisterClassA(&windowClass));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  HWND window = CreateWindowExA(0, "extrabytes", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                nullptr);
  int local = 0;
  SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(&local));
  SetWindowLongPtrA(window, GWLP_USERDATA, 42);
  EXPECT_EQ(GetWindowLongPtrA(window, 0), reinterpret_cast<LONG_PTR>(&local));
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 42);
  EXPECT_EQ(GetWindowLongPtrA(window, 64), 0);  // outside the extra bytes
  DestroyWindow(window);
}

}  // namespace
