#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "platform/winapi.h"

namespace {

TEST(ProcessServices, LastErrorBelongsToTheThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seenByOther = 1;
  DWORD otherThread = 0;
  std::thread([&] {
    seenByOther = GetLastError();
    SetLastError(ERROR_FILE_NOT_FOUND);
    otherThread = GetCurrentThreadId();
  }).join();
  EXPECT_EQ(seenByOther, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_NE(GetCurrentThreadId(), otherThread);
}

TEST(ProcessServices, ModuleFileNameIsCutToTheBuffer) {
  char full[4096];
  DWORD length = GetModuleFileNameA(nullptr, full, sizeof(full));
  ASSERT_GT(length, 4u);

  char small[5] = {'x', 'x', 'x', 'x', 'x'};
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof(small)), 5u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(small), std::string(full, 4));

  // Exactly the length: no room for the terminator, so it is cut as well.
  std::string exact(length, 'x');
  EXPECT_EQ(GetModuleFileNameA(nullptr, exact.data(), length), length);
  EXPECT_EQ(exact.c_str(), std::string(full, length - 1));

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
