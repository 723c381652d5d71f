#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/winapi.h"
#include "tests/support/child_process.h"

namespace vrk {
namespace {

std::vector<std::string> Split(const char* raw) {
  std::vector<std::string> result;
  for (const Text& token : SplitCommandLine(raw)) result.push_back(token.ToStdString());
  return result;
}

using Tokens = std::vector<std::string>;

TEST(SplitCommandLine, EmptyPairBeforeFirstParameterIsSkipped) {
  EXPECT_EQ(Split("vrk \"\" x"), (Tokens{"vrk", "x"}));
  EXPECT_EQ(Split("vrk \"\"x"), (Tokens{"vrk", "x"}));
  // Only one pair is skipped; a second one is an empty token and ends the list.
  EXPECT_EQ(Split("vrk \"\" \"\" x"), (Tokens{"vrk"}));
  // An empty pair alone counts as no parameter at all.
  EXPECT_EQ(Split("vrk \"\""), (Tokens{"vrk"}));
}

TEST(SplitCommandLine, ProgramNameIsTokenZeroWhateverItsText) {
  EXPECT_EQ(Split("\"\" ver"), (Tokens{"", "ver"}));
  // After the name, an empty pair is skipped as before.
  EXPECT_EQ(Split("\"\"\t\"\" ver"), (Tokens{"", "ver"}));
  EXPECT_EQ(Split(" \"\""), (Tokens{""}));
}

TEST(SplitCommandLine, QuotesGroupBlanksAndAreDropped) {
  EXPECT_EQ(Split("vrk \"a b\"  c"), (Tokens{"vrk", "a b", "c"}));
  EXPECT_EQ(Split("vrk a\"b c\"d"), (Tokens{"vrk", "ab cd"}));
  // An unclosed quote runs to the end, blanks and tabs included.
  EXPECT_EQ(Split("vrk \"a \tb"), (Tokens{"vrk", "a \tb"}));
  // No escape character: a backslash is an ordinary byte.
  EXPECT_EQ(Split("vrk a\\\"b c\\\""), (Tokens{"vrk", "a\\b c\\"}));
}

TEST(SplitCommandLine, ControlCharactersSeparate) {
  EXPECT_EQ(Split("\t vrk\ta\r\nb\x01" "c\x1f"), (Tokens{"vrk", "a", "b", "c"}));
  EXPECT_TRUE(Split("   \t").empty());
}

TEST(SplitCommandLine, EmptyPairInTheMiddleEndsTheList) {
  EXPECT_EQ(Split("vrk a \"\" b"), (Tokens{"vrk", "a", "b"}));
  EXPECT_EQ(Split("vrk a \"\"\"\" b"), (Tokens{"vrk", "a"}));
  EXPECT_EQ(Split("vrk a \"\" \"\" b"), (Tokens{"vrk", "a"}));
}

TEST(SplitCommandLine, BytesAboveAsciiAreWordCharacters) {
  // UTF-8 and code page 1250 letters must not be taken for separators.
  EXPECT_EQ(Split("vrk P\xC5\x99\xC3\xADklad \x9A\xE8"),
            (Tokens{"vrk", "P\xC5\x99\xC3\xADklad", "\x9A\xE8"}));
}

// Token N of argv as the splitting rule is expected to give it back.
Tokens ExpectedTokens(const std::vector<std::string>& argv) {
  Tokens expected;
  for (const std::string& argument : argv) {
    std::string token;
    for (char c : argument) {
      if (c != '"') token += c;
    }
    if (!token.empty()) expected.push_back(token);
  }
  return expected;
}

TEST(ProcessCommandLine, RoundTripsOwnArguments) {
  const std::vector<std::string> argv = ::testing::internal::GetArgvs();
  Tokens expected = ExpectedTokens(argv);
  const char* raw = GetCommandLineA();
  EXPECT_EQ(raw, GetCommandLineA()) << "the line must be built once";
  EXPECT_EQ(Split(raw), expected);
  ASSERT_EQ(ParamCount(), static_cast<int>(expected.size()) - 1);
  for (int i = 1; i <= ParamCount(); ++i) EXPECT_EQ(ParamStr(i).ToStdString(), expected[i]);
  EXPECT_TRUE(ParamStr(ParamCount() + 1).IsEmpty());
  EXPECT_TRUE(ParamStr(-1).IsEmpty());
}

TEST(ProcessCommandLine, ParameterZeroIsTheRunningExecutable) {
  Text path = ModuleFileName();
  ASSERT_FALSE(path.IsEmpty());
  EXPECT_EQ(ParamStr(0), path);
  char buffer[MAX_PATH + 1];
  ASSERT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof(buffer)), path.Length());
}

#ifndef _WIN32
// Runs this test program again with awkward arguments; the child checks that they
// come through the rebuilt command line unchanged (quotes dropped, empty one skipped).
TEST(ProcessCommandLine, AwkwardArgumentsSurviveInAChild) {
  if (std::getenv("VRK_COMMAND_LINE_CHILD") != nullptr) {
    Tokens expected = ExpectedTokens(::testing::internal::GetArgvs());
    EXPECT_EQ(Split(GetCommandLineA()), expected);
    EXPECT_EQ(ParamStr(3).ToStdString(), "a b");
    return;
  }
  vrk_test::ChildOptions options = vrk_test::Arguments(
      {"--gtest_filter=ProcessCommandLine.AwkwardArgumentsSurviveInAChild", "", "plain", "a b",
       "tab\there", "say \"hi\"", "\xC5\x99\xC3\xAD", "line\nend"});
  options.programName = "/no such/dir/vrk tests";
  options.environment = {"VRK_COMMAND_LINE_CHILD=1"};
  EXPECT_EQ(vrk_test::ChildProcess("/proc/self/exe", options).Wait(std::chrono::seconds(60)), 0);
}
#endif

}  // namespace
}  // namespace vrk
