// Several keys of the settings profile written as one change.
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

TEST(IniFileValues, WritesAllOrRaisesWithTheFileName) {
  vrk_test::ScratchFolder folder;
  const std::string name = folder.Inside("vrk.ini");
  folder.Put("vrk.ini", "[Main]\r\nIP=old\r\n");
  TIniFile ini{Text(name)};
  // One refused text stops them all.
  EXPECT_THROW(ini.WriteStrings("Main", {{"IP", "new"}, {"Port", Text("1\0", 2)}}),
               EIniFileException);
  EXPECT_THROW(ini.WriteStrings("Main", {{"IP", "new"}, {"Port", "1\n[Evil]"}}), EIniFileException);
  EXPECT_EQ(folder.Get("vrk.ini"), "[Main]\r\nIP=old\r\n");

  ini.WriteStrings("Main", {{"IP", "new"}, {"Port", "8080"}});
  EXPECT_EQ(ini.ReadString("Main", "IP", ""), "new");
  EXPECT_EQ(ini.ReadInteger("Main", "Port", 0), 8080);

  const std::string elsewhere = folder.Inside("absent/vrk.ini");
  TIniFile unwritable{Text(elsewhere)};
  EXPECT_THROW_MSG(unwritable.WriteStrings("Main", {{"IP", "x"}}), EIniFileException,
                   "Unable to write to " + elsewhere);
  EXPECT_EQ(folder.Names(), std::set<std::string>{"vrk.ini"});
}

}  // namespace
