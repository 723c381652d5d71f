// System message texts as the URL download error report asks for them.
#include <gtest/gtest.h>

#include <string>

#include "platform/winapi.h"
#include "tests/support/host.h"

namespace {

constexpr DWORD kSystemFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY;

std::string SystemText(DWORD code, DWORD flags = kSystemFlags, DWORD size = 256) {
  std::string buffer(size, '\x7F');
  const DWORD length = FormatMessageA(flags, nullptr, code, 0, buffer.data(), size, nullptr);
  if (length == 0) return "(none)";
  EXPECT_EQ(buffer[length], '\0');
  return buffer.substr(0, length);
}

TEST(FormatMessage, GivesTheSystemTextsOfTheCodesInUse) {
  // E_ABORT (0x80004004) is left out here: Wine's table lacks the text Windows has.
  for (DWORD code : {0x80004005u, 0x8007000Eu, 0x80070057u, 2u, 5u}) {
    const std::string text = SystemText(code);
    ASSERT_GT(text.size(), 2u) << std::hex << code;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n") << std::hex << code;
  }
  // A Win32 code wrapped in an HRESULT reads as the Win32 code.
  EXPECT_EQ(SystemText(0x80070057u), SystemText(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(SystemText(0x80070005u, FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS),
            SystemText(ERROR_ACCESS_DENIED));
  // The widest setting turns the final line break into a blank.
  const std::string denied = SystemText(ERROR_ACCESS_DENIED);
  EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, kSystemFlags | 0xFF),
            denied.substr(0, denied.size() - 2) + " ");
}

#ifndef _WIN32
// Windows words these in the language it is installed in; ours in the user's: Czech for a
// Czech locale, English for any other, or as asked.
TEST(FormatMessage, WordsTheTextsInTheUsersLanguage) {
  vrk_test::SavedVariables saved({"LC_ALL", "LC_MESSAGES", "LANG"});
  setenv("LC_ALL", "", 1);
  setenv("LC_MESSAGES", "cs_CZ.UTF-8", 1);
  setenv("LANG", "en_US.UTF-8", 1);
  EXPECT_EQ(SystemText(ERROR_PATH_NOT_FOUND), "Systém nemůže nalézt uvedenou cestu.\r\n");
  EXPECT_EQ(SystemText(0x80070005u), "Přístup byl odepřen.\r\n");
  char buffer[256];
  ASSERT_GT(FormatMessageA(kSystemFlags, nullptr, ERROR_ACCESS_DENIED, 0x0409, buffer, sizeof buffer, nullptr), 0u);
  EXPECT_STREQ(buffer, "Access is denied.\r\n");
  setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(SystemText(ERROR_PATH_NOT_FOUND), "The system cannot find the path specified.\r\n");
}

TEST(FormatMessage, WordsTheTextsAsEnglishWindowsDoes) {
  vrk_test::SavedVariables saved({"LC_ALL"});
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(SystemText(0x80004005u), "Unspecified error\r\n");
  EXPECT_EQ(SystemText(0x80004004u), "Operation aborted\r\n");
  EXPECT_EQ(SystemText(0x8007000Eu),
            "Not enough memory resources are available to complete this operation.\r\n");
  EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.\r\n");
  EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, kSystemFlags | 0xFF), "Access is denied. ");
}
#endif

TEST(FormatMessage, HasNoTextForTheUrlMonikerCodes) {
  for (DWORD code = 0x800C0002u; code <= 0x800C0014u; ++code) {
    SetLastError(0);
    char buffer[256] = "untouched";
    EXPECT_EQ(FormatMessageA(kSystemFlags, nullptr, code, 0, buffer, sizeof buffer, nullptr), 0u)
        << std::hex << code;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
  }
  EXPECT_EQ(SystemText(0x12345678u), "(none)");
}

TEST(FormatMessage, FailsWhenTheTextAndItsZeroDoNotFit) {
  const std::string text = SystemText(ERROR_INVALID_PARAMETER);
  const DWORD size = static_cast<DWORD>(text.size());
  EXPECT_EQ(SystemText(ERROR_INVALID_PARAMETER, kSystemFlags, size + 1), text);
  SetLastError(0);
  EXPECT_EQ(SystemText(ERROR_INVALID_PARAMETER, kSystemFlags, size), "(none)");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
