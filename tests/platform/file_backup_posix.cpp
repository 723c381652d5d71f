// Where no second name can be had (here a link into another file system), the backup is a
// copy, made whole before it takes its name.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/file_backup.h"
#include "tests/support/scratch_folder.h"

namespace {

TEST(FileBackup, ACopyServesWhereTheFileSystemHasNoSecondName) {
  vrk_test::ScratchFolder folder;
  const std::string elsewhere = "/dev/shm/vrk-backup-" + std::to_string(::getpid());
  struct stat shm {};
  struct stat here {};
  if (::stat("/dev/shm", &shm) != 0 || ::stat(folder.Inside("").c_str(), &here) != 0 ||
      shm.st_dev == here.st_dev) {
    GTEST_SKIP() << "no second file system at /dev/shm";
  }
  { std::ofstream(elsewhere) << "previous"; }
  std::filesystem::create_symlink(elsewhere, folder.Inside("out.txt"));
  EXPECT_TRUE(vrk::BackUpFile(folder.Inside("out.txt").c_str(), folder.Inside("out.old").c_str()));
  std::filesystem::remove(elsewhere);
  EXPECT_EQ(folder.Get("out.old"), "previous");
  EXPECT_EQ(folder.Names(), (std::set<std::string>{"out.txt", "out.old"}));
}

}  // namespace
