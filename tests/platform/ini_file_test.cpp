// The settings profile over real files.
#include <gtest/gtest.h>

#include <string>

#include "framework/exceptions.h"
#include "platform/ini_file.h"
#include "tests/support/expect_throw.h"
#include "tests/support/scratch_folder.h"

namespace {

using vrk::EIniFileException;
using vrk::Text;
using vrk::TIniFile;
using vrk_test::ScratchFolder;

class IniFileTest : public ::testing::Test {
 protected:
  ScratchFolder folder_;
  std::string ini_ = folder_.Inside("vrk.ini");
};

TEST_F(IniFileTest, ReadsTextsCutTo2047Characters) {
  folder_.Put("vrk.ini", "[Main]\r\nASCII=" + std::string(3000, 'a') + "\r\nIP=proxy\r\n");
  TIniFile ini{Text(ini_)};
  EXPECT_EQ(ini.ReadString("Main", "ASCII", "").Length(), 2047u);
  EXPECT_EQ(ini.ReadString("main", "ip", ""), "proxy");
  EXPECT_EQ(ini.ReadString("Main", "Program", "Trovane"), "Trovane");
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndIsNotCreated) {
  {
    TIniFile ini{Text(ini_)};
    EXPECT_EQ(ini.ReadString("Main", "Edit", "Pocasi"), "Pocasi");
    EXPECT_EQ(ini.ReadInteger("Main", "Port", 0), 0);
    ini.UpdateFile();
  }
  EXPECT_TRUE(folder_.Names().empty());
}

TEST_F(IniFileTest, IntegersThatDoNotConvertGiveTheDefault) {
  folder_.Put("vrk.ini", "[Main]\r\nHex=0x10\r\nDollar=$1f\r\nBad=abc\r\nEmpty=\r\n"
                         "Trailing=42 x\r\nNegative=-12\r\nTooBig=4294967296\r\n");
  TIniFile ini{Text(ini_)};
  EXPECT_EQ(ini.ReadInteger("Main", "Hex", -1), 16);
  EXPECT_EQ(ini.ReadInteger("Main", "Dollar", -1), 31);
  EXPECT_EQ(ini.ReadInteger("Main", "Negative", -1), -12);
  EXPECT_EQ(ini.ReadInteger("Main", "Bad", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Main", "Empty", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Main", "Trailing", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Main", "TooBig", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Main", "Missing", 7), 7);
}

TEST_F(IniFileTest, WritesTextAndDecimalIntegers) {
  TIniFile ini{Text(ini_)};
  ini.WriteString("Main", "IP", "proxy.example");
  ini.WriteInteger("Main", "Port", -8080);
  EXPECT_EQ(ini.ReadString("Main", "IP", ""), "proxy.example");
  EXPECT_EQ(ini.ReadInteger("Main", "Port", 0), -8080);
  EXPECT_EQ(folder_.Get("vrk.ini"), "[Main]\r\nIP=proxy.example\r\nPort=-8080\r\n");
}

TEST_F(IniFileTest, RefusedWriteRaisesWithTheFileName) {
  const std::string name = folder_.Inside("absent/vrk.ini");
  TIniFile ini{Text(name)};
  EXPECT_THROW_MSG(ini.WriteString("Main", "IP", "x"), EIniFileException, "Unable to write to " + name);
  EXPECT_THROW(ini.WriteInteger("Main", "Port", 1), EIniFileException);
}

TEST_F(IniFileTest, RefusesTextsThatWouldChangeOtherSettings) {
  folder_.Put("vrk.ini", "[Main]\r\nIP=a\r\n");
  TIniFile ini{Text(ini_)};
  EXPECT_THROW(ini.WriteString("Main", "IP", "b\r\nPort=1"), EIniFileException);
  EXPECT_THROW(ini.WriteString("Main", "IP", Text("b\0c", 3)), EIniFileException);
  EXPECT_THROW(ini.WriteString("Main", Text("Port\0x", 6), "1"), EIniFileException);
  EXPECT_THROW(ini.WriteString("Main", "IP=Port", "1"), EIniFileException);
  for (const char* key : {"", " \t", " ;IP", "[Other]"}) {
    EXPECT_THROW(ini.WriteString("Main", key, "1"), EIniFileException) << "key \"" << key << '"';
  }
  EXPECT_EQ(folder_.Get("vrk.ini"), "[Main]\r\nIP=a\r\n");
}

}  // namespace
