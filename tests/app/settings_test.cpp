#include "app/settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/ini_file.h"
#include "tests/support/scratch_folder.h"

namespace vrk {
namespace {

class SettingsFile : public ::testing::Test {
 protected:
  void Write(const std::string& bytes) { folder_.Put("vrk.ini", bytes); }
  Settings Read() { return ReadSettings(TIniFile(folder_.Inside("vrk.ini").c_str())); }

  vrk_test::ScratchFolder folder_;
};

// The proxy command of another run replaces the file whole, as often as it likes; a run
// reading meanwhile takes "IP" and "Port" of one version, never one of each.
TEST_F(SettingsFile, KeysComeFromOneVersionWhileTheFileIsReplaced) {
  const std::vector<IniValue> versions[] = {{{"IP", "first.test"}, {"Port", "1111"}},
                                             {{"IP", "second.test"}, {"Port", "2222"}}};
  std::atomic<bool> stop{false};
  std::atomic<int> written{0};
  std::thread writer([&] {
    TIniFile file(folder_.Inside("vrk.ini").c_str());
    for (int i = 0; !stop; ++i, ++written) file.WriteStrings("Main", versions[i % 2]);
  });
  int mixed = 0;
  while (written < 100) {
    const Settings s = Read();
    if ((s.IP == Text("first.test")) != (s.Port == 1111)) ++mixed;
  }
  stop = true;
  writer.join();
  EXPECT_EQ(mixed, 0);
}

TEST_F(SettingsFile, MissingFileGivesEveryDefault) {
  Settings s = Read();
  EXPECT_EQ(s.IP, Text(""));
  EXPECT_EQ(s.Port, 0);
  EXPECT_EQ(s.URL, Text(""));
  EXPECT_EQ(s.Program, Text("Trovane"));
  EXPECT_EQ(s.Edit, Text("Pocasi"));
  EXPECT_EQ(s.ASCII, Text(".exe .zip .rar .dat .bmp .jpg jpeg .png .mp3 .ogg"));
}

TEST_F(SettingsFile, AllKeysAreRead) {
  Write("[Main]\r\nIP=proxy.local\r\nPort=0x1F\r\nURL=u\r\nProgram=Okno\r\nEdit=Pole\r\nASCII=.bin\r\n");
  Settings s = Read();
  EXPECT_EQ(s.IP, Text("proxy.local"));
  EXPECT_EQ(s.Port, 31);
  EXPECT_EQ(s.URL, Text("u"));
  EXPECT_EQ(s.Program, Text("Okno"));
  EXPECT_EQ(s.Edit, Text("Pole"));
  EXPECT_EQ(s.ASCII, Text(".bin"));
}

TEST_F(SettingsFile, PortThatDoesNotConvertIsZero) {
  for (const char* port : {"abc", "", "8080x", "99999999999"}) {
    Write(std::string("[Main]\nPort=") + port + "\n");
    EXPECT_EQ(Read().Port, 0) << port;
  }
}

TEST_F(SettingsFile, OtherSectionsAreNotLookedAt) {
  Write("[Other]\nProgram=Wrong\n[Main]\nEdit=Right\n");
  Settings s = Read();
  EXPECT_EQ(s.Program, Text("Trovane"));
  EXPECT_EQ(s.Edit, Text("Right"));
}

}  // namespace
}  // namespace vrk
