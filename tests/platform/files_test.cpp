// File services over real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/file_backup.h"
#include "platform/files.h"
#include "tests/support/scratch_folder.h"

namespace {

using vrk::ChangeFileExt;
using vrk::Text;
using vrk_test::ScratchFolder;

TEST(ChangeFileExtTest, ReplacesOnlyAnExtensionOfTheLastName) {
  EXPECT_EQ(ChangeFileExt("C:\\Tools\\vrk.exe", ".ini"), "C:\\Tools\\vrk.ini");
  EXPECT_EQ(ChangeFileExt("C:\\v1.2\\vrk", ".ini"), "C:\\v1.2\\vrk.ini");
  EXPECT_EQ(ChangeFileExt("C:\\v1.2\\vrk.tar.gz", ".old"), "C:\\v1.2\\vrk.tar.old");
  EXPECT_EQ(ChangeFileExt("c:vrk.exe", ".ini"), "c:vrk.ini");
  EXPECT_EQ(ChangeFileExt("a.b:c", ".ini"), "a.b:c.ini");
  EXPECT_EQ(ChangeFileExt("vrk.", ".ini"), "vrk.ini");
  EXPECT_EQ(ChangeFileExt("vrk.exe", ""), "vrk");
  EXPECT_EQ(ChangeFileExt("vrk.exe", "."), "vrk.");
  EXPECT_EQ(ChangeFileExt(".profile", ".ini"), ".ini");
  EXPECT_EQ(ChangeFileExt("", ".ini"), ".ini");
  EXPECT_EQ(ChangeFileExt("vysledek.txt", "old"), "vysledekold");
#ifndef _WIN32
  EXPECT_EQ(ChangeFileExt("/opt/v1.2/vrk", ".ini"), "/opt/v1.2/vrk.ini");
#endif
}

class FilesTest : public ::testing::Test {
 protected:
  Text At(const std::string& name) const { return Text(folder_.Inside(name)); }
  ScratchFolder folder_;
};

TEST_F(FilesTest, RenameNeverReplacesAndBothFilesStay) {
  folder_.Put("vysledek.txt", "new");
  folder_.Put("vysledek.old", "old");
  EXPECT_FALSE(vrk::RenameFile(At("vysledek.txt"), At("vysledek.old")));
  EXPECT_EQ(folder_.Get("vysledek.txt"), "new");
  EXPECT_EQ(folder_.Get("vysledek.old"), "old");

  EXPECT_FALSE(vrk::RenameFile(At("absent"), At("other")));
  EXPECT_EQ(folder_.Names(), (std::set<std::string>{"vysledek.old", "vysledek.txt"}));
}

TEST_F(FilesTest, RenameMovesFilesAndFolders) {
  folder_.Put("vrk.exe", "binary");
  ASSERT_TRUE(vrk::RenameFile(At("vrk.exe"), At("vrk.old")));
  EXPECT_EQ(folder_.Get("vrk.old"), "binary");
  EXPECT_FALSE(vrk::FileExists(At("vrk.exe")));

  std::filesystem::create_directory(folder_.Path() / "dir");
  std::filesystem::create_directory(folder_.Path() / "busy");
  EXPECT_FALSE(vrk::RenameFile(At("dir"), At("busy")));
  EXPECT_TRUE(vrk::RenameFile(At("dir"), At("moved")));
  EXPECT_TRUE(std::filesystem::is_directory(folder_.Path() / "moved"));
}

TEST_F(FilesTest, ExistsOnlyForFiles) {
  folder_.Put("file.txt", "x");
  std::filesystem::create_directory(folder_.Path() / "dir.txt");
  EXPECT_TRUE(vrk::FileExists(At("file.txt")));
  EXPECT_FALSE(vrk::FileExists(At("dir.txt")));
  EXPECT_FALSE(vrk::FileExists(At("absent.txt")));
  EXPECT_FALSE(vrk::FileExists(""));
  // A zero byte must not cut the name down to one that exists.
  EXPECT_FALSE(vrk::FileExists(At("file.txt") + Text("\0.bak", 5)));
}

TEST_F(FilesTest, CreateTruncatesAndWritesEveryByte) {
  folder_.Put("out.txt", std::string(1000, 'x'));
  HANDLE file = vrk::FileCreate(At("out.txt"));
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string body("line 1\r\n\0line 2", 15);
  EXPECT_TRUE(vrk::FileWrite(file, body.data(), body.size()));
  EXPECT_TRUE(vrk::FileWrite(file, "", 0));
  vrk::FileClose(file);
  EXPECT_EQ(folder_.Get("out.txt"), body);
}

TEST_F(FilesTest, FailedCreateMakesWriteAndCloseSilent) {
  HANDLE file = vrk::FileCreate(At("absent/out.txt"));
  EXPECT_EQ(file, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(vrk::FileWrite(file, "abc", 3));
  vrk::FileClose(file);

  std::filesystem::create_directory(folder_.Path() / "dir");
  EXPECT_EQ(vrk::FileCreate(At("dir")), INVALID_HANDLE_VALUE);
  EXPECT_EQ(vrk::FileCreate(At("x") + Text("\0y", 2)),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(folder_.Names(), std::set<std::string>{"dir"});
}

TEST_F(FilesTest, BackslashSeparatesFolders) {
  std::filesystem::create_directory(folder_.Path() / "sub");
  const Text name(folder_.Path().string() + "\\sub\\out.txt");
  HANDLE file = vrk::FileCreate(name);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(vrk::FileWrite(file, "ok", 2));
  vrk::FileClose(file);
  EXPECT_EQ(folder_.Get("sub/out.txt"), "ok");
  EXPECT_TRUE(vrk::FileExists(name));
  EXPECT_TRUE(vrk::RenameFile(name, Text(folder_.Path().string() + "\\sub\\out.old")));
  EXPECT_EQ(folder_.Get("sub/out.old"), "ok");
}

TEST_F(FilesTest, CurrentDirHasNoTrailingSeparator) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder_.Path());
  const Text current = vrk::GetCurrentDir();
  std::filesystem::current_path(previous);
  EXPECT_TRUE(std::filesystem::equivalent(current.ToStdString(), folder_.Path()));
  EXPECT_NE(current.View().back(), '/');
  EXPECT_NE(current.View().back(), '\\');
}

}  // namespace

TEST_F(FilesTest, BackupKeepsTheOldFileWhileANewOneTakesItsName) {
  folder_.Put("tool.exe", "old program");
  folder_.Put("tool.dat", "new program");
  ASSERT_TRUE(vrk::BackUpFile(At("tool.exe"), At("tool.old")));
  EXPECT_EQ(folder_.Get("tool.exe"), "old program");
  ASSERT_TRUE(vrk::RenameFileOver(At("tool.dat"), At("tool.exe")));
  EXPECT_EQ(folder_.Get("tool.exe"), "new program");
  EXPECT_EQ(folder_.Get("tool.old"), "old program");

  // An earlier backup stays; a missing file has none.
  EXPECT_FALSE(vrk::BackUpFile(At("tool.exe"), At("tool.old")));
  EXPECT_EQ(folder_.Get("tool.old"), "old program");
  EXPECT_FALSE(vrk::BackUpFile(At("missing.exe"), At("missing.old")));
  EXPECT_EQ(folder_.Names(), (std::set<std::string>{"tool.exe", "tool.old"}));
}
