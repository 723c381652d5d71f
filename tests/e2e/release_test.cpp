// The release archive as a user gets it: unpacked anywhere, the tool shows its version and
// fetches the bundled example text beside its settings file, its readme and its guide.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/release_folder.h"
#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

TEST(Release, UnpackedToolShowsItsVersionAndFetchesTheExample) {
  const std::string release = ReleaseFolder();
  VRK_REQUIRE_RELEASE_FOLDER(release);
  ToolFolder folder(release);
  for (const char* name : {ToolFolder::ExecutableName(), "vrk.ini", "CTIMNE.txt", "Data/vrk.html"}) {
    EXPECT_TRUE(folder.Exists(name)) << name;
  }

  RunResult version = folder.Run({"ver"});
  EXPECT_EQ(version.out, Box("Informace o verzi", "Verze: 1.1\nBuild: 0000\n5. 1. 2005"));
  EXPECT_EQ(version.err, "");

  std::ifstream example(NativePath(VRK_EXAMPLE_TEXT), std::ios::binary);
  std::ostringstream text;
  text << example.rdbuf();
  ASSERT_FALSE(text.str().empty());
  ScriptedServer server(ConnectionPlan::Http([&](const HttpRequest&) {
    return HttpResponse::Text(200, text.str());
  }));
  RunResult fetch = folder.Run({server.Url("/pocasi.txt"), "W", "vysledek.txt"}, "", {"no_proxy=127.0.0.1"});
  EXPECT_EQ(fetch.err, "");
  EXPECT_EQ(folder.Get("vysledek.txt"), text.str());
}

}  // namespace
}  // namespace vrk_test
