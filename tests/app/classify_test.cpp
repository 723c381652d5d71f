#include "app/classify.h"

#include <gtest/gtest.h>

namespace vrk {
namespace {

const Text kDefaultEndings = ".exe .zip .rar .dat .bmp .jpg jpeg .png .mp3 .ogg";

TEST(Classify, EndingIsTheLastFourCharactersOrTheWholeShortUrl) {
  EXPECT_EQ(UrlEnding("host/file.zip"), Text(".zip"));
  EXPECT_EQ(UrlEnding("abcd"), Text("abcd"));
  EXPECT_EQ(UrlEnding("abc"), Text("abc"));
  EXPECT_EQ(UrlEnding("a"), Text("a"));
}

TEST(Classify, DefaultListMatchesExactlyAndCaseSensitively) {
  EXPECT_TRUE(IsBinaryUrl("host/dir/tool.dat", kDefaultEndings));
  EXPECT_TRUE(IsBinaryUrl("http://h/a.zip", kDefaultEndings));
  EXPECT_TRUE(IsBinaryUrl("http://h/photo.jpeg", kDefaultEndings));
  EXPECT_TRUE(IsBinaryUrl("http://h/song.ogg", kDefaultEndings));  // the last entry is reachable
  EXPECT_FALSE(IsBinaryUrl("http://h/A.ZIP", kDefaultEndings));
  EXPECT_FALSE(IsBinaryUrl("http://h/page.txt", kDefaultEndings));
  EXPECT_FALSE(IsBinaryUrl("http://h/x.zip?v=1", kDefaultEndings));
}

TEST(Classify, EntriesBeyondLengthOverFourAreNeverFound) {
  // Seven characters: only fields 0 and 1 are compared.
  const Text endings = "abc xyz";
  EXPECT_TRUE(IsBinaryUrl("abc", endings));
  EXPECT_FALSE(IsBinaryUrl("xyz", endings));
  EXPECT_FALSE(IsBinaryUrl("host/xyz", endings));
}

TEST(Classify, ShortUrlIsComparedInFull) {
  EXPECT_TRUE(IsBinaryUrl("jpeg", kDefaultEndings));
  EXPECT_FALSE(IsBinaryUrl(".ex", kDefaultEndings));
  EXPECT_TRUE(IsBinaryUrl(".ex", "x .ex ab"));
}

TEST(Classify, EmptyOrBlankListMakesEverythingText) {
  EXPECT_FALSE(IsBinaryUrl("http://h/a.zip", ""));
  EXPECT_FALSE(IsBinaryUrl("http://h/a.zip", "        "));
}

}  // namespace
}  // namespace vrk
