// The version record that vrk.exe carries, read back as Windows programs read it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/winapi.h"
// Left out of the lean Windows headers.
#include <winver.h>

#include "tests/support/host.h"
#include "tests/support/release_folder.h"

namespace {

class VersionResource : public ::testing::Test {
 protected:
  void SetUp() override { Load(vrk_test::NativePath(VRK_EXECUTABLE)); }

  void Load(const std::string& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << path;
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data_.data()));
  }

  void ExpectVersion1_0_0_3() {
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data_.data(), "\\", &value, &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000003u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000003u);
    EXPECT_EQ(Text("\\StringFileInfo\\040504E2\\FileVersion"), "1.0.0.3");
    EXPECT_EQ(Text("\\StringFileInfo\\040504E2\\ProductVersion"), "1.0.0.3");
    EXPECT_EQ(Text("\\StringFileInfo\\040504E2\\ProductName"), "VRK");
  }

  // The value at `name` as ANSI bytes, or "(none)".
  std::string Text(const char* name) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data_.data(), name, &value, &length) || value == nullptr) return "(none)";
    return std::string(static_cast<const char*>(value));
  }

  std::vector<char> data_;
};

TEST_F(VersionResource, FileAndProductVersionAre1_0_0_3) { ExpectVersion1_0_0_3(); }

// The executable of the release archive is the same build, version record and all.
TEST_F(VersionResource, ReleaseArchiveToolCarriesTheSameRecord) {
  const std::string release = vrk_test::ReleaseFolder();
  VRK_REQUIRE_RELEASE_FOLDER(release);
  Load(release + "\\vrk.exe");
  ExpectVersion1_0_0_3();
}

TEST_F(VersionResource, CzechBlockCommentArrivesInCodePage1250) {
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data_.data(), "\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u);
  const auto* translation = static_cast<const WORD*>(value);
  EXPECT_EQ(translation[0], 0x0405);
  EXPECT_EQ(translation[1], 1250);
  // Written byte by byte: the expectation must not depend on how this file is compiled.
  EXPECT_EQ(Text("\\StringFileInfo\\040504E2\\Comments"),
            "N\xE1pov\xEC" "du spust\xEDte naps\xE1n\xEDm \"vrk help\" (bez uvozovek)");
}

}  // namespace
