// The registry file that stands in for the registry on POSIX: its format, where it lies and
// what stands in when there is none. Windows has no such file, so these run on POSIX only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/winapi.h"
#include "tests/support/host.h"
#include "tests/support/scratch_folder.h"

namespace {

using vrk_test::ScratchFolder;

constexpr const char* kSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr const char* kVersion5 = "Windows Registry Editor Version 5.00\r\n\r\n";
const std::vector<std::string> kVariables = {"VRK_REGISTRY", "XDG_CONFIG_HOME", "HOME",
                                            "http_proxy", "HTTP_PROXY"};

struct Value {
  LONG status = ERROR_SUCCESS;
  DWORD type = REG_NONE;
  std::string data;
};

class RegistryFileTest : public ::testing::Test {
 protected:
  RegistryFileTest() {
    for (const std::string& name : kVariables) unsetenv(name.c_str());
    setenv("VRK_REGISTRY", file_.c_str(), 1);
  }

  void Write(const std::string& body, const char* header = kVersion5) {
    folder_.Put("registry.reg", header + body);
  }

  static Value Query(const char* key, const char* name) {
    HKEY opened = nullptr;
    Value value;
    value.status = RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened);
    if (value.status != ERROR_SUCCESS) return value;
    DWORD size = 0;
    value.status = RegQueryValueExA(opened, name, nullptr, &value.type, nullptr, &size);
    value.data.assign(size, '\0');
    if (value.status == ERROR_SUCCESS && size > 0) {
      value.status = RegQueryValueExA(opened, name, nullptr, nullptr,
                                      reinterpret_cast<BYTE*>(value.data.data()), &size);
    }
    RegCloseKey(opened);
    return value;
  }

  static bool KeyExists(const char* key) {
    HKEY opened = nullptr;
    const bool found = RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) == ERROR_SUCCESS;
    if (found) RegCloseKey(opened);
    return found;
  }

  vrk_test::SavedVariables saved_{kVariables};
  ScratchFolder folder_;
  std::string file_ = folder_.Inside("registry.reg");
};

std::string Text0(const std::string& text) { return text + std::string(1, '\0'); }

TEST_F(RegistryFileTest, ReadsEveryValueFormOfAVersion5Export) {
  Write("[HKEY_CURRENT_USER\\Software\\Test]\r\n"
        "@=\"default\"\r\n"
        "\"Path\"=\"C:\\\\dir\\\\\\\"q\\\"\"\r\n"
        "\"Odd\\\"Name\"=\"a\\nb\"\r\n"
        "\"Count\"=dword:0000abCD\r\n"
        "\"Blob\"=hex:00,01,\\\r\n"
        "  02,ff\r\n"
        "\"Expand\"=hex(2):25,00,54,00,4d,00,50,00,25,00,00,00\r\n"
        "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
        "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
        "\"Empty\"=hex:\r\n");
  const char* key = "Software\\Test";
  EXPECT_EQ(Query(key, "").data, Text0("default"));
  EXPECT_EQ(Query(key, nullptr).data, Text0("default"));
  const Value path = Query(key, "Path");
  EXPECT_EQ(path.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(path.data, Text0("C:\\dir\\\"q\""));
  EXPECT_EQ(Query(key, "odd\"name").data, Text0("a\\nb"));
  const Value count = Query(key, "COUNT");
  EXPECT_EQ(count.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(count.data, std::string("\xCD\xAB\0\0", 4));
  EXPECT_EQ(Query(key, "Blob").data, std::string("\0\1\2\xFF", 4));
  const Value expand = Query(key, "Expand");
  EXPECT_EQ(expand.type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(expand.data, Text0("%TMP%"));
  EXPECT_EQ(Query(key, "Multi").data, std::string("a\0b\0\0", 5));
  EXPECT_EQ(Query(key, "Big").type, static_cast<DWORD>(REG_QWORD));
  const Value empty = Query(key, "Empty");
  EXPECT_EQ(empty.status, ERROR_SUCCESS);
  EXPECT_EQ(empty.data, "");
}

TEST_F(RegistryFileTest, ReadsUtf16FilesAndLeavesVersion4TextsAsTheyAre) {
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : std::u16string{u"Windows Registry Editor Version 5.00\r\n\r\n"
                                   u"[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                                   u"\"Name\"=\"\u010Ce\"\r\n"}) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  folder_.Put("registry.reg", utf16);
  EXPECT_EQ(Query("Software\\Test", "Name").data, Text0("\xC4\x8C" "e"));

  Write("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Raw\"=hex(2):25,00\r\n", "REGEDIT4\n\n");
  EXPECT_EQ(Query("Software\\Test", "Raw").data, std::string("%\0", 2));
}

TEST_F(RegistryFileTest, OtherRootsHoldNothing) {
  Write("[HKEY_LOCAL_MACHINE\\Software\\Machine]\r\n\"B\"=\"2\"\r\n");
  EXPECT_FALSE(KeyExists("Software\\Machine"));
  HKEY opened = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Machine", 0, KEY_READ, &opened),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(opened, nullptr);
}

TEST_F(RegistryFileTest, AppliesTheFileInOrderAsAnImportWould) {
  Write("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Dup\"=\"first\"\r\n\"Gone\"=\"x\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\Test\\Child]\r\n\"C\"=\"c\"\r\n"
        "[HKEY_CURRENT_USER\\Software\\Test]\r\n\"DUP\"=\"second\"\r\n\"gone\"=-\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Test\\Child]\r\n\"Orphan\"=\"lost\"\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Removed]\r\n");
  EXPECT_EQ(Query("Software\\Test", "Dup").data, Text0("second"));
  EXPECT_EQ(Query("Software\\Test", "Gone").status, ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(KeyExists("Software\\Test\\Child"));
  EXPECT_EQ(Query("Software\\Test", "Orphan").status, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFileTest, SkipsMalformedLinesAndKeepsTheRest) {
  Write("junk line\r\n"
        "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
        "\"Good1\"=\"ok\"\r\n"
        "\"TooLong\"=dword:123456789\r\n"
        "\"NotHex\"=dword:xyz\r\n"
        "\"Open\"=\"unterminated\r\n"
        "\"Trailing\"=\"x\" y\r\n"
        "\"BadByte\"=hex:0g,\\\r\n"
        "  \"Good2\"=\"swallowed as continuation\"\r\n"
        "\"NoEquals\" \"x\"\r\n"
        "\"BadType\"=hex(zz):00\r\n"
        "\"Good3\"=dword:7\r\n"
        "[HKEY_CURRENT_USER\\Software\\Broken\r\n"
        "\"Stray\"=\"no key\"\r\n");
  EXPECT_EQ(Query("Software\\Test", "Good1").data, Text0("ok"));
  EXPECT_EQ(Query("Software\\Test", "Good3").data, std::string("\7\0\0\0", 4));
  for (const char* name : {"TooLong", "NotHex", "Open", "Trailing", "BadByte", "Good2",
                           "NoEquals", "BadType", "Stray"}) {
    EXPECT_EQ(Query("Software\\Test", name).status, ERROR_FILE_NOT_FOUND) << name;
  }
}

TEST_F(RegistryFileTest, AFileWithoutTheHeaderOrOfGarbageHoldsNothing) {
  for (const std::string& bytes :
       {std::string("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"A\"=\"1\"\r\n"), std::string(),
        std::string("\xFF\xFE\x00\xD8\x41", 5), std::string("\0\0\0\x80\xFF\n[\n\"=\\", 11)}) {
    folder_.Put("registry.reg", bytes);
    EXPECT_FALSE(KeyExists("Software\\Test"));
    EXPECT_FALSE(KeyExists(kSettings));
  }
}

TEST_F(RegistryFileTest, AnOpenKeyKeepsWhatItReadAtOpening) {
  // Windows shows an open key's later changes; here the file is read once per open, which
  // the tool, reading right after opening, cannot tell apart.
  Write("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Text\"=\"abc\"\r\n");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Test", 0, KEY_READ, &key), ERROR_SUCCESS);
  Write("[HKEY_CURRENT_USER\\Software\\Test]\r\n\"Text\"=\"changed\"\r\n");
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Text", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(Query("Software\\Test", "Text").data, Text0("changed"));
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryFileTest, WithoutAFileTheProxyComesFromTheEnvironment) {
  struct Case {
    const char* lower;
    const char* upper;
    std::optional<std::string> server;
  };
  const Case cases[] = {
      {nullptr, nullptr, std::nullopt},
      {"", nullptr, std::nullopt},
      {"http://user:pw@host:3128/", nullptr, "host:3128"},
      {"proxy.local", nullptr, "proxy.local"},
      {"http://10.0.0.1:8080?x", nullptr, "10.0.0.1:8080"},
      {"http://host:/path", nullptr, "host"},
      {nullptr, "http://UPPER:81", "UPPER:81"},
      {"http://lower:82", "http://upper:81", "lower:82"},
  };
  for (const Case& c : cases) {
    c.lower ? setenv("http_proxy", c.lower, 1) : unsetenv("http_proxy");
    c.upper ? setenv("HTTP_PROXY", c.upper, 1) : unsetenv("HTTP_PROXY");
    const std::string withSlash = std::string(kSettings) + "\\";
    const Value enable = Query(withSlash.c_str(), "ProxyEnable");
    ASSERT_EQ(enable.status, ERROR_SUCCESS);
    EXPECT_EQ(enable.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(enable.data[0], c.server ? 1 : 0) << (c.lower ? c.lower : "-");
    const Value server = Query(kSettings, "ProxyServer");
    if (c.server) {
      EXPECT_EQ(server.data, Text0(*c.server));
    } else {
      EXPECT_EQ(server.status, ERROR_FILE_NOT_FOUND);
    }
  }
}

TEST_F(RegistryFileTest, TheFileLiesInTheUsersConfigurationFolder) {
  unsetenv("VRK_REGISTRY");
  setenv("XDG_CONFIG_HOME", folder_.Path().c_str(), 1);
  folder_.Put("vrk/registry.reg",
              std::string(kVersion5) + "[HKEY_CURRENT_USER\\Software\\Xdg]\r\n");
  EXPECT_TRUE(KeyExists("Software\\Xdg"));

  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", folder_.Path().c_str(), 1);
  EXPECT_FALSE(KeyExists("Software\\Xdg"));
  EXPECT_TRUE(KeyExists(kSettings));  // no file under ~/.config: the environment stands in
  folder_.Put(".config/vrk/registry.reg", std::string(kVersion5) + "[HKCU\\Software\\Home]\r\n");
  EXPECT_TRUE(KeyExists("Software\\Home"));
  EXPECT_FALSE(KeyExists(kSettings));
}

}  // namespace
