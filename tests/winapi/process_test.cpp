#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/winapi.h"

namespace {

TEST(ProcessServices, LastErrorBelongsToTheThread) {
  // Starting and joining a thread may itself set this thread's last error, so both
  // threads compare while the other one is known to have done its part.
  std::atomic<int> step{0};
  DWORD seenByOther = 1;
  DWORD otherThread = 0;
  std::thread other([&] {
    while (step.load() != 1) std::this_thread::yield();
    seenByOther = GetLastError();
    SetLastError(ERROR_FILE_NOT_FOUND);
    otherThread = GetCurrentThreadId();
    step.store(2);
  });
  SetLastError(ERROR_ACCESS_DENIED);
  step.store(1);
  while (step.load() != 2) {
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  other.join();
  EXPECT_NE(seenByOther, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_NE(GetCurrentThreadId(), otherThread);
}

TEST(ProcessServices, ModuleFileNameIsCutToTheBuffer) {
  char full[4096];
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD length = GetModuleFileNameA(nullptr, full, sizeof(full));
  ASSERT_GT(length, 4u);
  // A whole path clears the last error, so that a caller may tell it by that too.
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

  char small[5] = {'x', 'x', 'x', 'x', 'x'};
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof(small)), 5u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  // Older Windows fills all five bytes and leaves out the terminator; newer ones and
  // ours end the cut path with it. Callers must not rely on either.
  EXPECT_EQ(std::string(small, 4), std::string(full, 4));
  EXPECT_TRUE(small[4] == '\0' || small[4] == full[4]);

  // Exactly the length: no room for the terminator, so it is cut as well.
  std::string exact(length, 'x');
  EXPECT_EQ(GetModuleFileNameA(nullptr, exact.data(), length), length);
  EXPECT_EQ(exact.substr(0, length - 1), std::string(full, length - 1));

  EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), full, sizeof(full)), length);
  EXPECT_NE(GetModuleHandleA(nullptr), nullptr);
}

#ifndef _WIN32
TEST(ProcessServices, StartupShowStateComesFromTheEnvironment) {
  STARTUPINFOA info;
  unsetenv("VRK_SHOW_STATE");
  GetStartupInfoA(&info);
  EXPECT_EQ(info.cb, sizeof(info));
  EXPECT_EQ(info.dwFlags & STARTF_USESHOWWINDOW, 0u);

  setenv("VRK_SHOW_STATE", "7", 1);
  GetStartupInfoA(&info);
  EXPECT_EQ(info.dwFlags & STARTF_USESHOWWINDOW, static_cast<DWORD>(STARTF_USESHOWWINDOW));
  EXPECT_EQ(info.wShowWindow, SW_SHOWMINNOACTIVE);

  setenv("VRK_SHOW_STATE", "max", 1);
  GetStartupInfoA(&info);
  EXPECT_EQ(info.dwFlags, 0u);
  unsetenv("VRK_SHOW_STATE");
}
#endif

}  // namespace
