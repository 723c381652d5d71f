// System message texts as the URL download error report asks for them.
#include <gtest/gtest.h>

#include <string>

#include "platform/winapi.h"

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
  EXPECT_EQ(SystemText(0x80004005u), "Unspecified error\r\n");
  EXPECT_EQ(SystemText(0x80004004u), "Operation aborted\r\n");
  EXPECT_EQ(SystemText(0x8007000Eu),
            "Not enough memory resources are available to complete this operation.\r\n");
  EXPECT_EQ(SystemText(0x80070057u), "The parameter is incorrect.\r\n");
  EXPECT_EQ(SystemText(ERROR_FILE_NOT_FOUND), "The system cannot find the file specified.\r\n");
  EXPECT_EQ(SystemText(0x80070005u, FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS),
            "Access is denied.\r\n");
  EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED, kSystemFlags | 0xFF), "Access is denied.");
}

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
  const std::string text = "The parameter is incorrect.\r\n";
  EXPECT_EQ(SystemText(ERROR_INVALID_PARAMETER, kSystemFlags, text.size() + 1), text);
  SetLastError(0);
  EXPECT_EQ(SystemText(ERROR_INVALID_PARAMETER, kSystemFlags, text.size()), "(none)");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

}  // namespace
