// The tool's start-up and dispatch, run as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "app/messages.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

const std::string kWarning = "Upozornění";
const std::string kNoParameters =
    "VRK nelze spustit bez parametrů. Jejich seznam zobrazíte napsáním vrk help";
const std::string kEmptyFirst =
    "Program VRK prosím spouštějte s minimálně jedním parametrem, kterým by měla být přesná "
    "internetová adresa (URL) požadovaného textového souboru.";
const std::string kVersion = "Verze: 1.1\nBuild: 0000\n5. 1. 2005";

TEST(Startup, VersionBoxOnStandardOutput) {
  ToolFolder folder;
  RunResult run = folder.Run({"ver"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, Box("Informace o verzi", kVersion));
  EXPECT_EQ(run.err, "");
}

TEST(Startup, HelpBoxHasNineLinesAndNoFinalLineFeed) {
  ToolFolder folder;
  RunResult run = folder.Run({"help"});
  EXPECT_EQ(run.exitCode, 0);
  // The table's text, shown whole: nine lines, the last without a line feed.
  const std::string help = vrk::messages::kHelp;
  EXPECT_EQ(std::count(help.begin(), help.end(), '\n'), 8);
  EXPECT_TRUE(help.ends_with("Více viz dokument Data/vrk.html"));
  EXPECT_EQ(run.out, Box("Nápověda", help));
  EXPECT_EQ(run.err, "");
}

TEST(Startup, NoParametersWithDefaultSettingsWarns) {
  ToolFolder folder;
  RunResult run = folder.Run({});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, Box(kWarning, kNoParameters));
  EXPECT_EQ(run.out, "");
}

TEST(Startup, EmptyQuotedFirstParameterCountsAsNone) {
  ToolFolder folder;
  EXPECT_EQ(folder.Run({""}).err, Box(kWarning, kNoParameters));
  // The empty pair is skipped, so the next word becomes parameter 1.
  RunResult shifted = folder.Run({"", "ver"});
  EXPECT_EQ(shifted.out, Box("Informace o verzi", kVersion));
}

TEST(Startup, UrlSettingTurnsTheFirstWarningIntoTheSecond) {
  ToolFolder folder;
  folder.WriteSettings("[Main]\r\nURL=http://somewhere/x.txt\r\n");
  RunResult run = folder.Run({});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, Box(kWarning, kEmptyFirst));
  EXPECT_EQ(run.out, "");
}

TEST(Startup, CommandWordsAreCaseSensitive) {
  ToolFolder folder;
  // Written in capitals these are URLs, so neither box appears.
  for (const char* word : {"Help", "HELP", "Ver"}) {
    RunResult run = folder.Run({word});
    EXPECT_EQ(run.exitCode, 0) << word;
    EXPECT_EQ(run.out.find("Nápověda"), std::string::npos) << word;
    EXPECT_EQ(run.out.find("Informace o verzi"), std::string::npos) << word;
  }
}

TEST(Startup, SettingsAreReadBesideTheExecutableNotInTheWorkingFolder) {
  ToolFolder folder;
  ToolFolder elsewhere;
  elsewhere.WriteSettings("[Main]\r\nURL=x\r\n");
  // Started from another folder, the tool still reads the (absent) file beside itself.
  RunResult run = folder.Run({}, elsewhere.Path().string());
  EXPECT_EQ(run.err, Box(kWarning, kNoParameters));
  folder.WriteSettings("[main]\nurl = \"x\"\n");
  run = folder.Run({}, elsewhere.Path().string());
  EXPECT_EQ(run.err, Box(kWarning, kEmptyFirst));
}

TEST(Startup, MalformedOrUnreadableSettingsGiveTheDefaults) {
  ToolFolder folder;
  folder.WriteSettings(std::string("\x00\xff[Main\nURL\n=x\n[\n", 13));
  RunResult run = folder.Run({});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, Box(kWarning, kNoParameters));
  // A folder in place of the settings file is no settings file.
  std::filesystem::create_directory(folder.Inside("vrk.ini.d"));
  std::filesystem::remove(folder.Inside("vrk.ini"));
  std::filesystem::rename(folder.Inside("vrk.ini.d"), folder.Inside("vrk.ini"));
  EXPECT_EQ(folder.Run({}).err, Box(kWarning, kNoParameters));
}

TEST(Startup, LargeSettingsFileIsReadWhole) {
  ToolFolder folder;
  // Millions of lines, and the key that shows at the very end.
  std::string settings = "[Main]\r\n";
  while (settings.size() < (20u << 20)) settings += "a=\r\n";
  settings += "URL=x\r\n";
  folder.WriteSettings(settings);
  // Correctness only: a sanitizer build on a busy machine takes its time over millions of lines.
  RunResult run = folder.Run({}, "", {}, 180);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, Box(kWarning, kEmptyFirst));
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(folder.Get("vrk.ini") == settings);
  EXPECT_EQ(folder.FilesBesideTheTool(), std::vector<std::string>{"vrk.ini"});
}

#ifndef _WIN32
TEST(Startup, SettingsFileThatIsNoRegularFileGivesTheDefaults) {
  ToolFolder folder;
  // A FIFO nobody writes to: opening it for reading would wait for a writer for ever.
  ASSERT_EQ(mkfifo(folder.Inside("vrk.ini").c_str(), 0600), 0);
  RunResult run = folder.Run({});
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, Box(kWarning, kNoParameters));
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(std::filesystem::is_fifo(folder.Inside("vrk.ini")));

  // A device that never ends.
  std::filesystem::remove(folder.Inside("vrk.ini"));
  std::filesystem::create_symlink("/dev/zero", folder.Inside("vrk.ini"));
  run = folder.Run({});
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, Box(kWarning, kNoParameters));
  EXPECT_EQ(std::filesystem::read_symlink(folder.Inside("vrk.ini")), "/dev/zero");
  EXPECT_EQ(folder.FilesBesideTheTool(), std::vector<std::string>{"vrk.ini"});
}

// Whatever name the tool is started by, its settings are the ones beside the program itself:
// a link to it in another folder must not move them there.
TEST(Startup, SettingsAreBesideTheProgramWhateverNameStartsIt) {
  ToolFolder folder(ToolFolder::Subfolder{"home"});
  folder.WriteSettings("[Main]\r\nURL=x\r\n");
  std::filesystem::create_directory(folder.Inside("elsewhere"));
  std::filesystem::create_symlink("../home/vrk", folder.Inside("elsewhere/vrk"));
  std::filesystem::create_directory_symlink("home", folder.Inside("linked home"));
  const std::vector<std::pair<std::string, std::string>> starts = {
      {"./vrk", "home"},          {"../home/vrk", "elsewhere"}, {".//home/./vrk", ""},
      {"elsewhere/vrk", ""},      {"linked home/vrk", ""},      {folder.Inside("elsewhere/vrk"), "/"}};
  for (const auto& [program, workDir] : starts) {
    RunResult run = folder.RunBy(program, {}, folder.Inside(workDir));
    EXPECT_EQ(run.err, Box(kWarning, kEmptyFirst)) << program;
  }
}
#endif

TEST(Startup, OddCommandLinesNeverCrash) {
  ToolFolder folder;
  const std::vector<std::vector<std::string>> lines = {
      {"\"\""}, {"\"", "\""}, {"a\"b c\"d"}, {std::string(5000, 'x')}, {"\t", "\n"},
      {"x", "", "", "", "", "", "", "", "y"}, {"\x01\x02\x1f"}, {"ver", "extra", "words"}};
  for (const auto& line : lines) {
    RunResult run = folder.Run(line);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0);
  }
}

}  // namespace
}  // namespace vrk_test
