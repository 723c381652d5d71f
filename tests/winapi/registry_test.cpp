// The registry calls over values of a scratch key of the current user.
#include <gtest/gtest.h>

#include <string>

#include "platform/winapi.h"
#include "tests/support/scratch_registry_key.h"

namespace {

std::string Text0(const std::string& text) { return text + std::string(1, '\0'); }

class RegistryTest : public ::testing::Test {
 protected:
  vrk_test::ScratchRegistryKey key_;
};

TEST_F(RegistryTest, FindsKeysAsWindowsDoes) {
  key_.Put("Outer\\Inner", "A", REG_SZ, Text0("1"));
  EXPECT_TRUE(key_.Opens("\\OUTER\\inner"));
  EXPECT_TRUE(key_.Opens("\\Outer\\Inner\\"));
  EXPECT_TRUE(key_.Opens("\\Outer"));
  EXPECT_TRUE(key_.Opens("\\Outer\\\\Inner"));  // an empty step between two names is skipped
  EXPECT_FALSE(key_.Opens("\\Inner"));
  EXPECT_FALSE(key_.Opens("\\Outer\\Inner\\Deeper"));
  HKEY opened = reinterpret_cast<HKEY>(1);
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, &opened), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &opened), ERROR_SUCCESS);
  RegCloseKey(opened);
}

TEST_F(RegistryTest, QueriesFollowTheWindowsBufferRules) {
  key_.Put("", "Text", REG_SZ, Text0("abc"));
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key_.Path().c_str(), 0, KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD type = 0;
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "TEXT", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, 4u);
  char buffer[8] = "zzzzzzz";
  size = 3;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(buffer, 5), std::string("abc\0z", 5));
  EXPECT_EQ(
      RegQueryValueExA(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), nullptr),
      ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

}  // namespace
