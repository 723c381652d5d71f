// The form-data encoder: its byte table and its component behaviour.
#include <gtest/gtest.h>

#include <string>

#include "net/NMURL.h"

namespace vrk {
namespace {

Text Encoded(const Text& input) {
  TNMURL url(nullptr);
  return url.EncodeString(input);
}

TEST(NMURLEncode, TableOfTypicalInputs) {
  EXPECT_EQ(Encoded(""), "");
  EXPECT_EQ(Encoded("a b"), "a+b");
  EXPECT_EQ(Encoded("a+b"), "a%2Bb");
  EXPECT_EQ(Encoded("100%"), "100%25");
  EXPECT_EQ(Encoded("user.name-x_y~z"), "user%2Ename%2Dx%5Fy%7Ez");
  EXPECT_EQ(Encoded("A=1&B=2"), "A%3D1%26B%3D2");
  EXPECT_EQ(Encoded("\r\n"), "%0D%0A");
}

TEST(NMURLEncode, EveryByteFollowsTheRule) {
  static const char* const kHex = "0123456789ABCDEF";
  for (int value = 0; value < 256; ++value) {
    const char byte = static_cast<char>(value);
    const bool kept = (value >= '0' && value <= '9') || (value >= 'A' && value <= 'Z') ||
                      (value >= 'a' && value <= 'z');
    std::string expected;
    if (kept) {
      expected = std::string(1, byte);
    } else if (value == ' ') {
      expected = "+";
    } else {
      expected = {'%', kHex[value >> 4], kHex[value & 15]};
    }
    EXPECT_EQ(Encoded(Text(&byte, 1)).ToStdString(), expected) << "byte " << value;
  }
}

TEST(NMURLEncode, LongInputIsEncodedInFull) {
  std::string input(70000, 'a');
  input[0] = ' ';
  input[65535] = '&';
  input.back() = '\n';
  const Text result = Encoded(Text(input));
  ASSERT_EQ(result.Length(), 70000u + 2 + 2);
  EXPECT_EQ(result[1], '+');
  EXPECT_EQ(result.Sub(65536, 3), "%26");
  EXPECT_EQ(result.Sub(70002, 3), "%0A");
}

TEST(NMURLComponent, EncodeReadsInputStringAndLeavesIt) {
  TNMURL url(nullptr);
  EXPECT_TRUE(url.InputString.IsEmpty());
  EXPECT_FALSE(url.OnError.Assigned());
  EXPECT_EQ(url.Encode(), "");

  url.InputString = "name=J. Nov\xC3\xA1k";
  EXPECT_EQ(url.Encode(), "name%3DJ%2E+Nov%C3%A1k");
  EXPECT_EQ(url.InputString, "name=J. Nov\xC3\xA1k");
  EXPECT_EQ(url.Encode(), url.EncodeString(url.InputString));
}

}  // namespace
}  // namespace vrk
