// Deeper than the system takes a whole name (PATH_MAX): the tool, started from its folder by a
// short name, still reads and writes the settings beside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "internet_settings.h"
#include "vrk_runner.h"

namespace vrk_test {
namespace {

// What the tool wrote on its error stream, less the sanitizers' runtime's note that it could
// not read the program's name this deep either.
std::string ToolErrors(const ToolFolder& folder, const std::string& name) {
  std::string errors = folder.Get(name);
  if (errors.starts_with("==")) {
    const std::size_t end = errors.find('\n');
    if (errors.find("reading executable name failed") < end) errors.erase(0, end + 1);
  }
  return errors;
}

TEST(DeeperThanAPath, SettingsAreReadAndWrittenBesideTheTool) {
  ToolFolder folder;
  InternetSettings registry(folder);
  registry.Set({Dword("ProxyEnable", 1), TextValue("ProxyServer", "10.0.0.1:3128")});
  // No single call takes the folder's whole name, so the shell reaches it a step at a time,
  // and removes it again (a whole name is what the scratch folder's own removal would use).
  const std::string step(100, 'x');
  const std::string script =
      "top='" + folder.Path().string() + "'; cd \"$top\" || exit 1\n"
      "trap 'cd \"$top\" && rm -rf " + step + "' EXIT\n"
      "for i in $(seq 50); do mkdir " + step + " && cd -P " + step + " || exit 1; done\n"
      "cp \"$top/vrk\" . && printf '[Main]\\r\\nURL=x\\r\\n' > vrk.ini || exit 1\n"
      "./vrk > \"$top/first.out\" 2> \"$top/first.err\"\n"
      "export VRK_REGISTRY=\"$top/registry.reg\" http_proxy=\n"
      // A name that climbs out of the folder and back still names the program itself.
      "../" + step + "/vrk proxy > \"$top/proxy.out\" 2> \"$top/proxy.err\"\n"
      "cat vrk.ini > \"$top/settings\"\n"
      // Started by a link, the program's own path cannot be read this deep: the box names
      // the file the user would look for, never an empty name.
      "ln -s vrk link && ./link proxy > \"$top/link.out\" 2> \"$top/link.err\"\n";
  folder.Put("deep.sh", script);
  ASSERT_EQ(std::system(("bash '" + folder.Inside("deep.sh") + "'").c_str()), 0);

  // Read: the URL setting turns the warning for a run without parameters into the second one.
  EXPECT_EQ(ToolErrors(folder, "first.err"),
            Box("Upozornění",
                "Program VRK prosím spouštějte s minimálně jedním parametrem, kterým by měla být "
                "přesná internetová adresa (URL) požadovaného textového souboru."));
  EXPECT_EQ(ToolErrors(folder, "proxy.err"), "");
  EXPECT_EQ(folder.Get("settings"), "[Main]\r\nURL=x\r\nIP=10.0.0.1\r\nPort=3128\r\n");
  EXPECT_EQ(ToolErrors(folder, "link.err"), Box("VRK", "Unable to write to ./link.ini."));
}

}  // namespace
}  // namespace vrk_test
