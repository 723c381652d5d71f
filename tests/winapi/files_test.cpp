// The file calls over real files.
#include <gtest/gtest.h>

#include <string>

#include "platform/winapi.h"
#include "tests/support/scratch_folder.h"

namespace {

TEST(FilesTest, FileCallsFollowTheirDispositions) {
  vrk_test::ScratchFolder folder;
  const std::string name = folder.Inside("data.bin");
  const DWORD readWrite = GENERIC_READ | GENERIC_WRITE;
  EXPECT_EQ(CreateFileA(name.c_str(), readWrite, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  HANDLE file = CreateFileA(name.c_str(), readWrite, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD count = 0;
  EXPECT_TRUE(WriteFile(file, "abcdef", 6, &count, nullptr));
  EXPECT_EQ(count, 6u);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  EXPECT_EQ(CreateFileA(name.c_str(), readWrite, 0, nullptr, CREATE_NEW, 0, nullptr),
            INVALID_HANDLE_VALUE);

  file = CreateFileA(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char buffer[16] = {};
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ(std::string(buffer, count), "abcdef");
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &count, nullptr));
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(WriteFile(file, "x", 1, &count, nullptr));
  EXPECT_TRUE(CloseHandle(file));

  file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(folder.Get("data.bin"), "");
  EXPECT_TRUE(DeleteFileA(name.c_str()));
  EXPECT_FALSE(DeleteFileA(name.c_str()));
}

TEST(FilesTest, CurrentDirectoryReportsTheSizeItNeeds) {
  const DWORD needed = GetCurrentDirectoryA(0, nullptr);
  ASSERT_GT(needed, 1u);
  std::string small(needed - 1, '\x7F');
  EXPECT_EQ(GetCurrentDirectoryA(needed - 1, small.data()), needed);
  std::string fits(needed, '\x7F');
  EXPECT_EQ(GetCurrentDirectoryA(needed, fits.data()), needed - 1);
  EXPECT_EQ(fits.back(), '\0');
}

}  // namespace
