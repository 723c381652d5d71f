// The profile calls against real files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/winapi.h"
#include "tests/support/scratch_folder.h"

namespace {

using vrk_test::ScratchFolder;

class ProfileTest : public ::testing::Test {
 protected:
  std::string Read(const char* section, const char* key, const char* fallback = "none",
                   DWORD size = 256) {
    std::string buffer(size, '\x7F');
    const DWORD count = GetPrivateProfileStringA(section, key, fallback, buffer.data(), size,
                                                 ini_.c_str());
    EXPECT_LT(count, size);
    EXPECT_EQ(buffer[count], '\0');
    return buffer.substr(0, count);
  }
  BOOL Write(const char* section, const char* key, const char* value) {
    return WritePrivateProfileStringA(section, key, value, ini_.c_str());
  }

  ScratchFolder folder_;
  std::string ini_ = folder_.Inside("vrk.ini");
};

TEST_F(ProfileTest, ReadsAsUsersWriteFiles) {
  folder_.Put("vrk.ini",
              "; IP=commented out\r\n"
              "Stray=before any section\r\n"
              "[Main]\r\n"
              "  IP  =\t proxy.local  \r\n"
              "Quoted=\"  spaced  \"\r\n"
              "Single='x'\r\n"
              "Mismatched=\"x'\r\n"
              "Lone=\"\r\n"
              "Dup=first\r\n"
              "DUP=second\r\n"
              "no equals sign here\r\n"
              "=no name\r\n"
              "Empty=\r\n"
              "Inline=a ; not a comment\r\n"
              "[ main ]\r\n"
              "Hidden=in a duplicate section\r\n"
              "[Second]\r\n"
              "IP=other\r\n");
  EXPECT_EQ(Read("main", "ip"), "proxy.local");
  EXPECT_EQ(Read("MAIN", "quoted"), "  spaced  ");
  EXPECT_EQ(Read("Main", "Single"), "x");
  EXPECT_EQ(Read("Main", "Mismatched"), "\"x'");
  EXPECT_EQ(Read("Main", "Lone"), "\"");
  EXPECT_EQ(Read("Main", "dup"), "first");
  EXPECT_EQ(Read("Main", "no equals sign here"), "none");
  EXPECT_EQ(Read("Main", ""), "no name");
  EXPECT_EQ(Read("Main", "Empty", "unused"), "");
  EXPECT_EQ(Read("Main", "Inline"), "a ; not a comment");
  EXPECT_EQ(Read("Main", "Hidden"), "none");
  EXPECT_EQ(Read("Main", "Stray"), "none");
  EXPECT_EQ(Read("second", "ip"), "other");
}

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesDefaultWithoutTrailingBlanks) {
  EXPECT_EQ(Read("Main", "IP", "fallback  \t "), "fallback  \t");  // blanks only
  EXPECT_EQ(Read("Main", "IP", nullptr), "");
  folder_.Put("vrk.ini", "[Main]\r\nIP=x\r\n");
  EXPECT_EQ(Read("Other", "IP", " lead"), " lead");
  EXPECT_EQ(Read("Main", "Port", "0"), "0");
  EXPECT_EQ(GetPrivateProfileIntA("Main", "Port", 77, ini_.c_str()), 77u);
}

TEST_F(ProfileTest, CutsToTheBufferAndCountsWhatItCopied) {
  folder_.Put("vrk.ini", "[Main]\r\nIP=abcdef\r\n");
  EXPECT_EQ(Read("Main", "IP", "", 7), "abcdef");
  EXPECT_EQ(Read("Main", "IP", "", 6), "abcde");
  EXPECT_EQ(Read("Main", "IP", "", 1), "");
  EXPECT_EQ(Read("Main", "Port", "123456", 4), "123");
  char untouched = 'z';
  EXPECT_EQ(GetPrivateProfileStringA("Main", "IP", "", &untouched, 0, ini_.c_str()), 0u);
  EXPECT_EQ(untouched, 'z');
}

TEST_F(ProfileTest, ListsSectionsAndKeysEndedByTwoZeros) {
  folder_.Put("vrk.ini", "[Main]\r\nIP=1\r\nPort=2\r\n[Second]\r\n");
  EXPECT_EQ(Read(nullptr, nullptr, "", 64), std::string("Main\0Second\0", 12));
  EXPECT_EQ(Read("main", nullptr, "", 64), std::string("IP\0Port\0", 8));
  EXPECT_EQ(Read("Absent", nullptr, "x", 64), "x");

  char list[8];
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", list, sizeof list, ini_.c_str()), 6u);
  EXPECT_EQ(std::string(list, 8), std::string("Main\0S\0\0", 8));
}

TEST_F(ProfileTest, OddBytesAndLineEndsDoNotDerailReading) {
  folder_.Put("vrk.ini", "[Main]\rIP=cr only\rPort=1");
  EXPECT_EQ(Read("Main", "IP"), "cr only");
  EXPECT_EQ(Read("Main", "Port"), "1");

  folder_.Put("vrk.ini", std::string("[Main]\nIP=a\0b\nPort=2\n", 21));
  EXPECT_EQ(Read("Main", "Port"), "2");

  folder_.Put("vrk.ini", "[Main]\r\nIP=\xC4\x8D\xFF\r\n");
  EXPECT_EQ(Read("Main", "IP"), "\xC4\x8D\xFF");
}

TEST_F(ProfileTest, IntegerReadTakesLeadingDigits) {
  folder_.Put("vrk.ini", "[Main]\r\nA=42\r\nC=12ab\r\nD=abc\r\n");
  EXPECT_EQ(GetPrivateProfileIntA("Main", "A", 5, ini_.c_str()), 42u);
  EXPECT_EQ(GetPrivateProfileIntA("Main", "C", 5, ini_.c_str()), 12u);
  EXPECT_EQ(GetPrivateProfileIntA("Main", "D", 5, ini_.c_str()), 0u);
}

TEST_F(ProfileTest, NewFileIsCreatedWithWindowsLineEnds) {
  ASSERT_TRUE(Write("Main", "IP", "proxy"));
  ASSERT_TRUE(Write("Main", "Port", "8080"));
  EXPECT_EQ(folder_.Get("vrk.ini"), "[Main]\r\nIP=proxy\r\nPort=8080\r\n");
  EXPECT_EQ(Read("Main", "Port"), "8080");
}

TEST_F(ProfileTest, FlushLeavesEverythingAlone) {
  Write(nullptr, nullptr, nullptr);
  EXPECT_TRUE(folder_.Names().empty());
  folder_.Put("vrk.ini", "[Main]\nIP=a");
  Write(nullptr, nullptr, nullptr);
  EXPECT_EQ(folder_.Get("vrk.ini"), "[Main]\nIP=a");
}

TEST_F(ProfileTest, WritesThroughBackslashNames) {
  std::filesystem::create_directory(folder_.Path() / "sub");
  const std::string name = folder_.Path().string() + "\\sub\\other.ini";
  ASSERT_TRUE(WritePrivateProfileStringA("Main", "IP", "x", name.c_str()));
  EXPECT_EQ(folder_.Get("sub/other.ini"), "[Main]\r\nIP=x\r\n");
}

TEST_F(ProfileTest, RefusesWhereItCannotWrite) {
  const std::string missingFolder = folder_.Inside("absent/vrk.ini");
  EXPECT_FALSE(WritePrivateProfileStringA("Main", "IP", "x", missingFolder.c_str()));
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

  folder_.Put("plain", "not a folder");
  const std::string underFile = folder_.Inside("plain/vrk.ini");
  EXPECT_FALSE(WritePrivateProfileStringA("Main", "IP", "x", underFile.c_str()));

  std::filesystem::create_directory(folder_.Path() / "vrk.ini");
  EXPECT_FALSE(Write("Main", "IP", "x"));

  EXPECT_EQ(folder_.Names(), (std::set<std::string>{"plain", "vrk.ini"}));
  EXPECT_EQ(folder_.Get("plain"), "not a folder");
  EXPECT_TRUE(std::filesystem::is_empty(folder_.Path() / "vrk.ini"));
}

TEST_F(ProfileTest, RefusesReadOnlyFileAndKeepsIt) {
  folder_.Put("vrk.ini", "[Main]\r\nIP=old\r\n");
  std::filesystem::permissions(ini_, std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_write |
                                         std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  if (std::ofstream(ini_, std::ios::app)) GTEST_SKIP() << "read-only files are writable here";
  EXPECT_FALSE(Write("Main", "IP", "new"));
  EXPECT_EQ(folder_.Get("vrk.ini"), "[Main]\r\nIP=old\r\n");
  EXPECT_EQ(folder_.Names(), std::set<std::string>{"vrk.ini"});
}

TEST_F(ProfileTest, RefusesReadOnlyFolderAndLeavesNothingBehind) {
  const std::filesystem::path locked = folder_.Path() / "locked";
  std::filesystem::create_directory(locked);
  std::ofstream(locked / "vrk.ini", std::ios::binary) << "[Main]\r\nIP=old\r\n";
  std::filesystem::permissions(locked, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_exec);
  const bool stillWritable = static_cast<bool>(std::ofstream(locked / "probe"));
  if (!stillWritable) {
    const std::string name = (locked / "vrk.ini").string();
    EXPECT_FALSE(WritePrivateProfileStringA("Main", "IP", "new", name.c_str()));
    EXPECT_EQ(folder_.Get("locked/vrk.ini"), "[Main]\r\nIP=old\r\n");
  }
  std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
  if (stillWritable) GTEST_SKIP() << "read-only folders are writable here";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(locked),
                          std::filesystem::directory_iterator()),
            1);
}

// A file in UTF-16 with its byte order mark, as "Unicode" editors save it.
std::string Utf16(std::u16string_view text, bool bigEndian = false) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

// Names and values come and go in the ANSI code page, which the literals here are in: 1250 in
// the Windows build, UTF-8 in ours. The file stays UTF-16, in its own byte order.
TEST_F(ProfileTest, Utf16FileIsReadAndWrittenInUtf16) {
  folder_.Put("vrk.ini", Utf16(u"[Main]\r\nIP=pr\u00F3xy \u0159\r\nPort=1\r\n"));
  EXPECT_EQ(Read("Main", "IP"), "próxy ř");
  EXPECT_EQ(Read("Main", nullptr, "", 64), std::string("IP\0Port\0", 8));
  ASSERT_TRUE(Write("Main", "Port", "3128"));
  ASSERT_TRUE(Write("Main", "Jméno", "žluť"));
  Write(nullptr, nullptr, nullptr);
  EXPECT_EQ(folder_.Get("vrk.ini"), Utf16(u"[Main]\r\nIP=pr\u00F3xy \u0159\r\nPort=3128\r\n"
                                          u"Jm\u00E9no=\u017Elu\u0165\r\n"));
  EXPECT_EQ(Read("Main", "Jméno"), "žluť");

  folder_.Put("vrk.ini", Utf16(u"[Main]\r\nIP=a\r\n", true));
  EXPECT_EQ(Read("Main", "IP"), "a");
  ASSERT_TRUE(Write("Main", "IP", "b"));
  Write(nullptr, nullptr, nullptr);
  EXPECT_EQ(folder_.Get("vrk.ini"), Utf16(u"[Main]\r\nIP=b\r\n", true));
}

#ifndef _WIN32
// The Windows platform lays out the files it rewrites in its own way; ours keeps them.

TEST_F(ProfileTest, Utf16EditKeepsEveryOtherUnitAndAnOddLastByte) {
  // A lone surrogate, which reads as U+FFFD, and a stray byte at the end.
  const std::string original = Utf16(u"[Main]\r\nA=x\xD800y\r\nB=1\r\n") + "Z";
  folder_.Put("vrk.ini", original);
  EXPECT_EQ(Read("Main", "A"), "x\xEF\xBF\xBDy");
  ASSERT_TRUE(Write("Main", "B", "2\xFF"));
  EXPECT_EQ(folder_.Get("vrk.ini"), Utf16(u"[Main]\r\nA=x\xD800y\r\nB=2\uFFFD\r\n") + "Z");
}

TEST_F(ProfileTest, FileIsReadAgainOnlyWhenItChanged) {
  folder_.Put("vrk.ini", "[Main]\r\nIP=aaa\r\n");
  EXPECT_EQ(Read("Main", "IP"), "aaa");
  // Rewritten in place with as many bytes and its old time: taken as the file read before.
  const auto stamp = std::filesystem::last_write_time(ini_);
  folder_.Put("vrk.ini", "[Main]\r\nIP=bbb\r\n");
  std::filesystem::last_write_time(ini_, stamp);
  EXPECT_EQ(Read("Main", "IP"), "aaa");
  std::filesystem::last_write_time(ini_, stamp + std::chrono::seconds(1));
  EXPECT_EQ(Read("Main", "IP"), "bbb");
  folder_.Put("vrk.ini", "[Main]\r\nIP=cccc\r\n");
  std::filesystem::last_write_time(ini_, stamp);
  EXPECT_EQ(Read("Main", "IP"), "cccc");
}

TEST_F(ProfileTest, OnlyARegularFileIsReadOrReplaced) {
  // Neither read (a FIFO would wait for a writer, a device never ends) nor replaced.
  ASSERT_EQ(mkfifo(ini_.c_str(), 0600), 0);
  EXPECT_EQ(Read("Main", "IP"), "none");
  EXPECT_FALSE(Write("Main", "IP", "x"));
  EXPECT_TRUE(std::filesystem::is_fifo(ini_));
  std::filesystem::remove(ini_);
  std::filesystem::create_symlink("/dev/zero", ini_);
  EXPECT_EQ(Read("Main", "IP"), "none");
  EXPECT_FALSE(Write("Main", "IP", "x"));
  EXPECT_EQ(folder_.Names(), std::set<std::string>{"vrk.ini"});
  // A link to a regular file is that file.
  std::filesystem::remove(ini_);
  folder_.Put("real.ini", "[Main]\nIP=real\n");
  std::filesystem::create_symlink("real.ini", ini_);
  EXPECT_EQ(Read("Main", "IP"), "real");
}

TEST_F(ProfileTest, EditsKeepEveryOtherLineByteForByte) {
  const std::string original =
      "; settings\r\n"
      "[main]\r\n"
      "  ip = old value ; note\r\n"
      "Program=Trovane\r\n"
      "\r\n"
      "[Other]\r\n"
      "A =\t1\r\n"
      "B=2";
  folder_.Put("vrk.ini", original);

  ASSERT_TRUE(Write("Main", "IP", "new"));
  EXPECT_EQ(folder_.Get("vrk.ini"),
            "; settings\r\n[main]\r\n  ip =new\r\nProgram=Trovane\r\n\r\n[Other]\r\nA =\t1\r\nB=2");

  ASSERT_TRUE(Write("MAIN", "Port", "8080"));
  EXPECT_EQ(folder_.Get("vrk.ini"),
            "; settings\r\n[main]\r\n  ip =new\r\nProgram=Trovane\r\nPort=8080\r\n\r\n"
            "[Other]\r\nA =\t1\r\nB=2");

  ASSERT_TRUE(Write("Other", "C", "3"));
  EXPECT_EQ(folder_.Get("vrk.ini"),
            "; settings\r\n[main]\r\n  ip =new\r\nProgram=Trovane\r\nPort=8080\r\n\r\n"
            "[Other]\r\nA =\t1\r\nB=2\r\nC=3\r\n");

  ASSERT_TRUE(Write("Third", "D", "4"));
  ASSERT_TRUE(Write("main", "program", nullptr));
  ASSERT_TRUE(Write("other", nullptr, nullptr));
  EXPECT_EQ(folder_.Get("vrk.ini"),
            "; settings\r\n[main]\r\n  ip =new\r\nPort=8080\r\n\r\n[Third]\r\nD=4\r\n");
}

TEST_F(ProfileTest, NewLinesFollowTheFileLineEnd) {
  folder_.Put("vrk.ini", "[Main]\nIP=a");
  ASSERT_TRUE(Write("Main", "Port", "1"));
  EXPECT_EQ(folder_.Get("vrk.ini"), "[Main]\nIP=a\nPort=1\n");

  folder_.Put("vrk.ini", "[Main]\rIP=a\r");
  ASSERT_TRUE(Write("New", "K", "v"));
  EXPECT_EQ(folder_.Get("vrk.ini"), "[Main]\rIP=a\r[New]\rK=v\r");
}

TEST_F(ProfileTest, DuplicatesTheFirstWinsAndDeletionRemovesAll) {
  folder_.Put("vrk.ini", "[Main]\nIP=1\nip=2\n[MAIN]\nIP=3\n");
  ASSERT_TRUE(Write("Main", "IP", "x"));
  EXPECT_EQ(folder_.Get("vrk.ini"), "[Main]\nIP=x\nip=2\n[MAIN]\nIP=3\n");
  ASSERT_TRUE(Write("Main", "IP", nullptr));
  EXPECT_EQ(Read("Main", "IP"), "none");
  ASSERT_TRUE(Write("Main", nullptr, nullptr));
  EXPECT_EQ(folder_.Get("vrk.ini"), "");
}

TEST_F(ProfileTest, DeletingWhatIsNotThereCreatesNothing) {
  EXPECT_TRUE(Write("Main", "IP", nullptr));
  EXPECT_TRUE(Write("Main", nullptr, nullptr));
  EXPECT_TRUE(folder_.Names().empty());
}

TEST_F(ProfileTest, ByteOrderMarkDoesNotHideTheFirstSection) {
  folder_.Put("vrk.ini", "\xEF\xBB\xBF[Main]\r\nIP=a\r\n");
  EXPECT_EQ(Read("Main", "IP"), "a");
  ASSERT_TRUE(Write("Main", "IP", "b"));
  EXPECT_EQ(folder_.Get("vrk.ini"), "\xEF\xBB\xBF[Main]\r\nIP=b\r\n");
}

TEST_F(ProfileTest, ReplacesAtomicallyKeepingPermissions) {
  folder_.Put("vrk.ini", "[Main]\nIP=a\n");
  std::filesystem::permissions(ini_, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read);
  const auto before = std::filesystem::status(ini_).permissions();
  ASSERT_TRUE(Write("Main", "IP", "b"));
  EXPECT_EQ(std::filesystem::status(ini_).permissions(), before);
  EXPECT_EQ(folder_.Names(), std::set<std::string>{"vrk.ini"});
}

TEST_F(ProfileTest, WritesThroughALinkToItsTarget) {
  folder_.Put("real.ini", "[Main]\nIP=a\n");
  std::filesystem::create_symlink("real.ini", ini_);
  ASSERT_TRUE(Write("Main", "IP", "b"));
  EXPECT_TRUE(std::filesystem::is_symlink(ini_));
  EXPECT_EQ(folder_.Get("real.ini"), "[Main]\nIP=b\n");
}

#endif

// The calls write names and values as given, line breaks and all, as Windows does; refusing
// what would read back as other settings is the caller's business.
TEST_F(ProfileTest, WritesNamesAndValuesAsGiven) {
  folder_.Put("vrk.ini", "[Main]\r\nIP=a\r\n");
  EXPECT_TRUE(Write("Main", "IP", "b\r\n[Evil]\r\nK=v"));
  EXPECT_TRUE(Write("Main", ";note", "c"));
  // The planted header now ends the section, so the next key goes in before it.
  EXPECT_EQ(folder_.Get("vrk.ini"), "[Main]\r\nIP=b\r\n;note=c\r\n[Evil]\r\nK=v\r\n");
}

}  // namespace
