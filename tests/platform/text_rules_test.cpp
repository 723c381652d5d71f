#include "platform/text_rules.h"

#include <gtest/gtest.h>

#include <climits>

#include "framework/exceptions.h"
#include "tests/support/expect_throw.h"

namespace vrk {
namespace {

TEST(TextComparison, ExactNeedsSameLengthAndBytes) {
  EXPECT_TRUE(SameBytes("ver", "ver"));
  EXPECT_FALSE(SameBytes("ver", "Ver"));
  EXPECT_FALSE(SameBytes(Text("ver\0", 4), "ver"));
  EXPECT_TRUE(SameBytes("", Text()));
}

TEST(TextComparison, IgnoreCaseFoldsAsciiLettersOnly) {
  EXPECT_TRUE(SameTextIgnoreCase("Pocasi", "POCASI"));
  EXPECT_FALSE(SameTextIgnoreCase("Pocasi", "POCASIx"));
  // '@' and '`' sit next to the letters; they must not fold onto them.
  EXPECT_FALSE(SameTextIgnoreCase("@", "`"));
  EXPECT_FALSE(SameTextIgnoreCase("[", "{"));
  // č/Č and ř/Ř in UTF-8, š/Š in code page 1250.
  EXPECT_FALSE(SameTextIgnoreCase("\xC4\x8D", "\xC4\x8C"));
  EXPECT_FALSE(SameTextIgnoreCase("P\xC5\x99" "ed", "P\xC5\x98" "ED"));
  EXPECT_FALSE(SameTextIgnoreCase("\x9A", "\x8A"));
  EXPECT_TRUE(SameTextIgnoreCase("\x9A" "a", "\x9A" "A"));
}

TEST(TextComparison, BoundedCountsTheEndAsAPosition) {
  EXPECT_TRUE(SameTextBounded("ABCDEFGHIJKL", "abcdefghijXY", 10));
  EXPECT_FALSE(SameTextBounded("ABCDEFGHIJKL", "abcdefghiXYZ", 10));
  EXPECT_TRUE(SameTextBounded("Pocasi", "POCASI", 10));
  EXPECT_FALSE(SameTextBounded("Pocasi", "Pocasix", 10));
  EXPECT_FALSE(SameTextBounded("Pocasix", "Pocasi", 10));
  // Nine characters against ten: the end meets the tenth character.
  EXPECT_FALSE(SameTextBounded("ABCDEFGHI", "ABCDEFGHIJ", 10));
  EXPECT_TRUE(SameTextBounded("ABCDEFGHIJ", "abcdefghijK", 10));
  EXPECT_FALSE(SameTextBounded("", "a", 10));
  EXPECT_TRUE(SameTextBounded("", "", 10));
  EXPECT_FALSE(SameTextBounded("Trovan\xC3\xA9", "TROVAN\xC3\x89", 10));
  // A zero byte is a character, not the end.
  EXPECT_FALSE(SameTextBounded(Text("ab\0", 3), "ab", 10));
  // Positions are letters in the build's code page (UTF-8 on Linux, 1250 on Windows).
  EXPECT_FALSE(SameTextBounded("Žluťoučký kůň", "Žluťoučký", 10));
  EXPECT_TRUE(SameTextBounded("Žluťoučký kůň", "ŽLUťOUčKý kone", 10));
}

void ExpectRejected(const Text& input) {
  EXPECT_THROW_MSG(StrToInt(input), EConvertError,
                   "'" + input.ToStdString() + "' is not a valid integer value");
  EXPECT_EQ(StrToIntDef(input, -77), -77);
}

TEST(IntegerConversion, AcceptsTheGrammar) {
  const struct {
    const char* text;
    int value;
  } cases[] = {
      {"0", 0},          {"42", 42},         {" 42", 42},      {"   -7", -7},
      {"+15", 15},       {"007", 7},         {"0x1F", 31},     {"0X1f", 31},
      {"$1f", 31},       {"x10", 16},        {"X10", 16},      {"  $aB", 171},
      {"2147483647", INT_MAX},               {"-2147483648", INT_MIN},
      {"$FFFFFFFF", -1}, {"0x80000000", INT_MIN},              {"$000000001", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
    EXPECT_EQ(StrToIntDef(c.text, -77), c.value) << c.text;
  }
}

TEST(IntegerConversion, RejectsEverythingElseWithTheInputInTheMessage) {
  for (const char* text : {"", " ", "+", "-", "$", "x", "0x", "- 5", "42 ", "\t42", "1e3",
                           "2147483648", "-2147483649", "0x100000000", "-$10", "+0x10",
                           "$G", "12a", "abc", "0x1F ", "99999999999999999999"}) {
    ExpectRejected(text);
  }
  ExpectRejected(Text("42\0", 3));
}

TEST(IntegerConversion, EmptyTextMessageHasNothingBetweenApostrophes) {
  EXPECT_THROW_MSG(StrToInt(""), Exception, "'' is not a valid integer value");
}

TEST(IntegerConversion, IntToStrWritesDecimal) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-2147483648LL), "-2147483648");
  EXPECT_EQ(IntToStr(8080), "8080");
  EXPECT_EQ(StrToInt(IntToStr(INT_MIN)), INT_MIN);
}

}  // namespace
}  // namespace vrk
