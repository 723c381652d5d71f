// Where the tool lies: a path longer than MAX_PATH, or one of Czech folder names, and the
// settings file beside it read and written there.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "internet_settings.h"
#include "tests/support/host.h"
#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

// Folders of 40 characters to beyond 300 in all: a path cut at 260 ends inside the name of
// one of them, and a settings name made of it lies one folder up.
std::string DeepFolders() {
  std::string path;
  for (char letter = 'a'; path.size() < 300; ++letter) {
    if (!path.empty()) path += '/';
    path += std::string(40, letter);
  }
  return path;
}

std::vector<std::string> SettingsFilesUnder(const std::filesystem::path& top) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(top)) {
    if (entry.path().filename().string().ends_with(".ini")) {
      found.push_back(std::filesystem::relative(entry.path(), top).generic_string());
    }
  }
  return found;
}

TEST(DeepFolder, SettingsAreReadAndWrittenBesideTheTool) {
  ToolFolder folder(ToolFolder::Subfolder{DeepFolders()});
  const std::string settings = folder.BesideTheTool("vrk.ini");
  ASSERT_GT(folder.Inside(folder.BesideTheTool(ToolFolder::ExecutableName())).size(), 300u);
  try {
    folder.Run({"ver"});
  } catch (const std::runtime_error& error) {
    // Wine's CreateProcess refuses a program name this long: ERROR_INVALID_NAME, and with
    // backslashes, "\\?\" or not, ERROR_FILE_NOT_FOUND.
    if (RunningUnderWine()) GTEST_SKIP() << "Wine starts no program this deep: " << error.what();
    throw;
  }

  // Read: the URL setting turns the warning for a run without parameters into the second one.
  folder.WriteSettings("[Main]\r\nURL=x\r\n");
  RunResult run = folder.Run({});
  EXPECT_EQ(run.err, Box("Upozornění",
                         "Program VRK prosím spouštějte s minimálně jedním parametrem, kterým "
                         "by měla být přesná internetová adresa (URL) požadovaného textového "
                         "souboru."));

  InternetSettings registry(folder);
  registry.Set({Dword("ProxyEnable", 1), TextValue("ProxyServer", "10.0.0.1:3128")});
  std::vector<std::string> environment = registry.Environment();
  environment.push_back("http_proxy=");
  run = folder.Run({"proxy"}, "", environment);
  EXPECT_EQ(run.err, "");
  std::string written = folder.Get(settings);
  std::erase(written, '\r');
  EXPECT_EQ(written, "[Main]\nURL=x\nIP=10.0.0.1\nPort=3128\n");
  EXPECT_EQ(SettingsFilesUnder(folder.Path()), std::vector<std::string>{settings});
}

// As our users unpack it: a folder and a target of Czech names, passed in the build's code page.
TEST(CzechFolder, ToolFindsItsSettingsAndWritesTheTextThere) {
  ToolFolder folder(ToolFolder::Subfolder{"Nástroje VRK žluťoučký"});
  ScriptedServer server(ConnectionPlan::Http([](const HttpRequest&) { return HttpResponse::Text(200, "kůň"); }));
  folder.WriteSettings("[Main]\r\nURL=x\r\n");
  RunResult run = folder.Run({});
  EXPECT_NE(run.err.find("Upozornění"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("přesná internetová adresa"), std::string::npos) << run.err;

  const std::string target = folder.BesideTheTool("Počasí v Brně.txt");
  run = folder.Run({server.Url("/pocasi.txt"), "W", folder.Inside(target)}, "", {"no_proxy=127.0.0.1"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(folder.Get(target), "kůň");
}

}  // namespace
}  // namespace vrk_test
