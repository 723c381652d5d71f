// Several keys of a profile file written as one change, over real files.
#include "platform/profile_values.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/winapi.h"
#include "tests/support/scratch_folder.h"

namespace vrk {
namespace {

class ProfileTest : public ::testing::Test {
 protected:
  std::string Read(const char* key) const {
    char buffer[256] = {};
    GetPrivateProfileStringA("Main", key, "none", buffer, sizeof buffer, ini_.c_str());
    return buffer;
  }

  vrk_test::ScratchFolder folder_;
  std::string ini_ = folder_.Inside("vrk.ini");
};

TEST_F(ProfileTest, SeveralKeysAreWrittenAsOneChange) {
  folder_.Put("vrk.ini", "; kept\r\n[Main]\r\nProgram=Okno\r\nIP=old\r\n");
  const ProfileValue values[] = {{"IP", "10.0.0.1"}, {"Port", "3128"}};
  ASSERT_TRUE(WriteProfileValues("Main", values, ini_.c_str()));
  EXPECT_EQ(Read("IP"), "10.0.0.1");
  EXPECT_EQ(Read("Port"), "3128");
  EXPECT_EQ(Read("Program"), "Okno");
  EXPECT_EQ(folder_.Names(), std::set<std::string>{"vrk.ini"});

  const std::string missingFolder = folder_.Inside("absent/vrk.ini");
  EXPECT_FALSE(WriteProfileValues("Main", values, missingFolder.c_str()));
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(folder_.Names(), std::set<std::string>{"vrk.ini"});
}

TEST_F(ProfileTest, ChangesMadeAtOnceNeverMix) {
  const ProfileValue first[] = {{"IP", "10.0.0.1"}, {"Port", "1001"}};
  const ProfileValue second[] = {{"IP", "10.0.0.2"}, {"Port", "1002"}};
  for (int round = 0; round < 50; ++round) {
    folder_.Put("vrk.ini", "[Main]\r\nProgram=Okno\r\n");
    std::thread other([&] { EXPECT_TRUE(WriteProfileValues("Main", second, ini_.c_str())); });
    EXPECT_TRUE(WriteProfileValues("Main", first, ini_.c_str()));
    other.join();
    const std::string pair = Read("IP") + ":" + Read("Port");
    EXPECT_TRUE(pair == "10.0.0.1:1001" || pair == "10.0.0.2:1002") << pair;
  }
  EXPECT_EQ(folder_.Names(), std::set<std::string>{"vrk.ini"});
}

#ifndef _WIN32
// The Windows platform lays out the files it rewrites in its own way; ours keeps them.
TEST_F(ProfileTest, SeveralKeysKeepEveryOtherLine) {
  folder_.Put("vrk.ini", "; kept\n[Main]\nProgram=Okno\nIP=old\n\n[Other]\nIP=x\n");
  const ProfileValue values[] = {{"IP", "new"}, {"Port", "1"}};
  ASSERT_TRUE(WriteProfileValues("Main", values, ini_.c_str()));
  EXPECT_EQ(folder_.Get("vrk.ini"),
            "; kept\n[Main]\nProgram=Okno\nIP=new\nPort=1\n\n[Other]\nIP=x\n");
}
#endif

}  // namespace
}  // namespace vrk
