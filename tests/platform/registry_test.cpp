// The registry calls and TRegistry over values of a scratch key of the current user.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "framework/exceptions.h"
#include "platform/registry.h"
#include "platform/winapi.h"
#include "tests/platform/scratch_registry_key.h"

namespace {

using vrk::testing::ScratchRegistryKey;

std::string Dword(unsigned value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i) & 0xFF);
  return bytes;
}

std::string Text0(const std::string& text) { return text + std::string(1, '\0'); }

class RegistryTest : public ::testing::Test {
 protected:
  bool KeyExists(const std::string& below) const {
    HKEY opened = nullptr;
    const std::string path = below.empty() ? key_.Path() : key_.Path() + below;
    const bool found =
        RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS;
    if (found) RegCloseKey(opened);
    return found;
  }

  ScratchRegistryKey key_;
};

TEST_F(RegistryTest, FindsKeysAsWindowsDoes) {
  key_.Put("Outer\\Inner", "A", REG_SZ, Text0("1"));
  EXPECT_TRUE(KeyExists("\\OUTER\\inner"));
  EXPECT_TRUE(KeyExists("\\Outer\\Inner\\"));
  EXPECT_TRUE(KeyExists("\\Outer"));
  EXPECT_TRUE(KeyExists("\\Outer\\\\Inner"));  // an empty step between two names is skipped
  EXPECT_FALSE(KeyExists("\\Inner"));
  EXPECT_FALSE(KeyExists("\\Outer\\Inner\\Deeper"));
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

std::string RegistryError(const std::function<void()>& read) {
  try {
    read();
  } catch (const vrk::ERegistryException& error) {
    return error.Message().ToStdString();
  }
  return "no error";
}

TEST_F(RegistryTest, TRegistryReadsTheProxySettingWithItsExactErrors) {
  key_.Put("", "ProxyEnable", REG_DWORD, Dword(1));
  key_.Put("", "ProxyServer", REG_SZ, Text0("10.0.0.1:3128"));
  key_.Put("", "Short", REG_DWORD, "\x02");
  key_.Put("", "ShortText", REG_SZ, Text0("1"));
  key_.Put("", "Embedded", REG_SZ, std::string("a\0b\0", 4));
  key_.Put("", "Expand", REG_EXPAND_SZ, Text0("%H%"));
  key_.Put("", "EmptyText", REG_SZ, Text0(""));
  key_.Put("", "NoBytes", REG_SZ, "");
  key_.Put("", "Binary", REG_BINARY, std::string("A\0", 2));

  vrk::TRegistry registry;
  // The tool opens its key with a trailing backslash.
  EXPECT_TRUE(registry.OpenKey(vrk::Text(key_.Path().c_str()) + "\\", false));
  const HKEY first = registry.CurrentKey();
  EXPECT_EQ(registry.ReadInteger("ProxyEnable"), 1);
  EXPECT_EQ(registry.ReadInteger("Short"), 2);
  EXPECT_EQ(registry.ReadString("ProxyServer"), "10.0.0.1:3128");
  EXPECT_EQ(registry.ReadString("Embedded"), "a");
  EXPECT_EQ(registry.ReadString("Expand"), "%H%");
  for (const char* empty : {"EmptyText", "NoBytes", "Missing"}) {
    EXPECT_EQ(registry.ReadString(empty), "") << empty;
  }
  EXPECT_EQ(RegistryError([&] { registry.ReadInteger("Missing"); }),
            "Failed to get data for 'Missing'");
  EXPECT_EQ(RegistryError([&] { registry.ReadInteger("ProxyServer"); }),
            "Failed to get data for 'ProxyServer'");
  EXPECT_EQ(RegistryError([&] { registry.ReadInteger("ShortText"); }),
            "Invalid data type for 'ShortText'");
  EXPECT_EQ(RegistryError([&] { registry.ReadString("ProxyEnable"); }),
            "Invalid data type for 'ProxyEnable'");
  EXPECT_EQ(RegistryError([&] { registry.ReadString("Binary"); }),
            "Invalid data type for 'Binary'");

  // A failed open leaves no key open, creates nothing, and reads behave as for a missing value.
  EXPECT_FALSE(registry.OpenKey(vrk::Text(key_.Path().c_str()) + "\\Nowhere", false));
  EXPECT_EQ(registry.CurrentKey(), nullptr);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(first, "ProxyEnable", nullptr, nullptr, nullptr, &size),
            ERROR_INVALID_HANDLE);
  EXPECT_FALSE(KeyExists("\\Nowhere"));
  EXPECT_EQ(RegistryError([&] { registry.ReadInteger("ProxyEnable"); }),
            "Failed to get data for 'ProxyEnable'");
  EXPECT_EQ(registry.ReadString("ProxyServer"), "");
  EXPECT_FALSE(registry.OpenKey(vrk::Text(key_.Path().c_str()) + vrk::Text("\0x", 2), false));
}

}  // namespace
