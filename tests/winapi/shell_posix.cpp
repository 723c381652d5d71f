// Starting programs and opening files through ShellExecuteA, with real scripts as programs
// and a stand-in desktop opener put first on PATH.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/winapi.h"
#include "tests/support/eventually.h"
#include "tests/support/host.h"
#include "tests/support/scratch_folder.h"

namespace {

using vrk_test::ScratchFolder;

std::uintptr_t Code(HINSTANCE result) { return reinterpret_cast<std::uintptr_t>(result); }

class ShellTest : public ::testing::Test {
 protected:
  ShellTest() {
    std::filesystem::create_directory(folder_.Path() / "bin");
    setenv("PATH", (folder_.Inside("bin") + ":/usr/bin:/bin").c_str(), 1);
  }

  void PutScript(const std::string& name, const std::string& body) {
    folder_.Put(name, "#!/bin/sh\n" + body);
    ::chmod(folder_.Inside(name).c_str(), 0755);
  }
  // The opener writes what it was asked to open; the write is renamed into place whole.
  void PutOpener() {
    PutScript("bin/xdg-open", "printf %s \"$1\" > \"$0.tmp\"; mv \"$0.tmp\" \"$0.out\"\n");
  }

  // The started process runs on its own, so its marker is awaited, within bounds.
  std::string Await(const std::string& name) {
    return vrk_test::Eventually([&] { return folder_.Exists(name); }) ? folder_.Get(name) : "(not written)";
  }

  vrk_test::SavedVariables savedPath_{{"PATH"}};
  ScratchFolder folder_;
};

TEST_F(ShellTest, StartsAProgramDetachedWithoutTheToolsInputOrFiles) {
  const int ours = ::open(folder_.Inside("held").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(ours, 0);
  PutScript("start.sh",
            "{ readlink /proc/$$/fd/0; cut -d' ' -f6 /proc/$$/stat;"
            "  readlink /proc/$$/fd/" + std::to_string(ours) + " 2>/dev/null;"
            "  echo \"$1|$2\"; } > \"$0.tmp\"\n"
            "mv \"$0.tmp\" \"$0.out\"\nsleep 3\n");
  // The tool's own input is a file for the moment, so that passing it on would show.
  folder_.Put("input", "");
  const int savedInput = ::dup(0);
  const int input = ::open(folder_.Inside("input").c_str(), O_RDONLY);
  ::dup2(input, 0);
  const auto start = std::chrono::steady_clock::now();
  const HINSTANCE result =
      ShellExecuteA(nullptr, "open", folder_.Inside("start.sh").c_str(), "\"a b\" c", nullptr,
                    SW_SHOWNORMAL);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  ::dup2(savedInput, 0);
  for (int fd : {savedInput, input, ours}) ::close(fd);
  EXPECT_GT(Code(result), 32u);
  const std::string report = Await("start.sh.out");
  EXPECT_EQ(report.rfind("/dev/null\n", 0), 0u) << report;
  EXPECT_EQ(report.find("\n" + std::to_string(::getsid(0)) + "\n"), std::string::npos) << report;
  EXPECT_EQ(report.find(folder_.Inside("held")), std::string::npos) << report;
  EXPECT_NE(report.find("a b|c\n"), std::string::npos) << report;
}

TEST_F(ShellTest, TakesBackslashesAsSeparatorsAndRunsInTheGivenFolder) {
  std::filesystem::create_directory(folder_.Path() / "sub");
  PutScript("sub/start.sh", "pwd > \"$0.tmp\"; mv \"$0.tmp\" \"$0.out\"\n");
  const std::string folder = folder_.Path().string();
  EXPECT_GT(Code(ShellExecuteA(nullptr, nullptr, "sub\\start.sh", nullptr, folder.c_str(),
                               SW_SHOWNORMAL)),
            32u);
  EXPECT_EQ(Await("sub/start.sh.out"),
            std::filesystem::canonical(folder_.Path()).string() + "\n");
}

TEST_F(ShellTest, HandsDocumentsToTheDesktopOpener) {
  PutOpener();
  folder_.Put("page.html", "<p>x</p>");
  folder_.Put("marked.txt", "not a program");
  ::chmod(folder_.Inside("marked.txt").c_str(), 0755);

  EXPECT_GT(Code(ShellExecuteA(nullptr, "open", folder_.Inside("page.html").c_str(), nullptr,
                               nullptr, SW_SHOWNORMAL)),
            32u);
  EXPECT_EQ(Await("bin/xdg-open.out"), folder_.Inside("page.html"));
  std::filesystem::remove(folder_.Path() / "bin/xdg-open.out");

  // Executable by its mode but no program: opened as a document.
  EXPECT_GT(Code(ShellExecuteA(nullptr, "open", folder_.Inside("marked.txt").c_str(), nullptr,
                               nullptr, SW_SHOWNORMAL)),
            32u);
  EXPECT_EQ(Await("bin/xdg-open.out"), folder_.Inside("marked.txt"));
}

TEST_F(ShellTest, FailsWithWindowsCodesAndWithoutOutput) {
  setenv("PATH", folder_.Inside("bin").c_str(), 1);  // no opener anywhere
  folder_.Put("page.html", "<p>x</p>");
  folder_.Put("marked.txt", "not a program");
  ::chmod(folder_.Inside("marked.txt").c_str(), 0755);
  const std::string page = folder_.Inside("page.html");

  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
            31u);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", folder_.Inside("marked.txt").c_str(), nullptr,
                               nullptr, SW_SHOWNORMAL)),
            11u);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", folder_.Inside("missing.exe").c_str(), nullptr,
                               nullptr, SW_SHOWNORMAL)),
            2u);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", folder_.Inside("none\\x.exe").c_str(), nullptr,
                               nullptr, SW_SHOWNORMAL)),
            2u);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", (page + "/x").c_str(), nullptr, nullptr,
                               SW_SHOWNORMAL)),
            3u);
  EXPECT_LE(Code(ShellExecuteA(nullptr, "print", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
            32u);
}

}  // namespace
