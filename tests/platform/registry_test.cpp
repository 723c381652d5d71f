// TRegistry over values of a scratch key of the current user.
#include <gtest/gtest.h>

#include <string>

#include "framework/exceptions.h"
#include "platform/registry.h"
#include "platform/winapi.h"
#include "tests/support/expect_throw.h"
#include "tests/support/scratch_registry_key.h"

namespace {

using vrk_test::ScratchRegistryKey;

std::string Dword(unsigned value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i) & 0xFF);
  return bytes;
}

std::string Text0(const std::string& text) { return text + std::string(1, '\0'); }

class RegistryTest : public ::testing::Test {
 protected:
  ScratchRegistryKey key_;
};

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
  EXPECT_THROW_MSG(registry.ReadInteger("Missing"), vrk::ERegistryException,
                   "Failed to get data for 'Missing'");
  EXPECT_THROW_MSG(registry.ReadInteger("ProxyServer"), vrk::ERegistryException,
                   "Failed to get data for 'ProxyServer'");
  EXPECT_THROW_MSG(registry.ReadInteger("ShortText"), vrk::ERegistryException,
                   "Invalid data type for 'ShortText'");
  EXPECT_THROW_MSG(registry.ReadString("ProxyEnable"), vrk::ERegistryException,
                   "Invalid data type for 'ProxyEnable'");
  EXPECT_THROW_MSG(registry.ReadString("Binary"), vrk::ERegistryException,
                   "Invalid data type for 'Binary'");

  // A failed open leaves no key open, creates nothing, and reads behave as for a missing value.
  EXPECT_FALSE(registry.OpenKey(vrk::Text(key_.Path().c_str()) + "\\Nowhere", false));
  EXPECT_EQ(registry.CurrentKey(), nullptr);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(first, "ProxyEnable", nullptr, nullptr, nullptr, &size),
            ERROR_INVALID_HANDLE);
  EXPECT_FALSE(key_.Opens("\\Nowhere"));
  EXPECT_THROW_MSG(registry.ReadInteger("ProxyEnable"), vrk::ERegistryException,
                   "Failed to get data for 'ProxyEnable'");
  EXPECT_EQ(registry.ReadString("ProxyServer"), "");
  EXPECT_FALSE(registry.OpenKey(vrk::Text(key_.Path().c_str()) + vrk::Text("\0x", 2), false));
}

}  // namespace
