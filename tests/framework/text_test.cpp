#include "framework/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>

#include "framework/exceptions.h"
#include "tests/support/expect_throw.h"

namespace vrk {
namespace {

TEST(TextTest, CopiesShareBytesUntilOneSideChanges) {
  Text a("hello");
  Text b = a;
  EXPECT_TRUE(a.SharesBytesWith(b));

  b.SetAt(1, 'j');
  EXPECT_FALSE(a.SharesBytesWith(b));
  EXPECT_EQ(a, "hello");
  EXPECT_EQ(b, "jello");

  Text c = a;
  c += "!";
  EXPECT_EQ(a, "hello");
  EXPECT_EQ(c, "hello!");

  Text d = a;
  d.UniqueData()[0] = 'y';
  EXPECT_EQ(a, "hello");
  EXPECT_EQ(d, "yello");

  Text e = a;
  e.SetLength(2);
  EXPECT_EQ(a, "hello");
  EXPECT_EQ(e, "he");
}

TEST(TextTest, EmptyTextsShareNothing) {
  Text a;
  Text b = a;
  EXPECT_FALSE(a.SharesBytesWith(b));
  EXPECT_STREQ(a.c_str(), "");
  EXPECT_TRUE(Text(nullptr).IsEmpty());
}

TEST(TextTest, HoldsZeroBytes) {
  Text t("a\0b", 3);
  EXPECT_EQ(t.Length(), 3u);
  EXPECT_EQ(t[2], '\0');
  EXPECT_EQ(t[3], 'b');
  EXPECT_NE(t, Text("a"));
  EXPECT_EQ(t.Pos(std::string_view("\0b", 2)), 2u);

  Text u = t + t;
  EXPECT_EQ(u.View(), std::string_view("a\0ba\0b", 6));
  EXPECT_EQ(u.c_str()[6], '\0');  // always terminated after the counted bytes
}

TEST(TextTest, PositionsCountFromOneAndAreChecked) {
  Text t("abc");
  EXPECT_EQ(t[1], 'a');
  EXPECT_EQ(t[3], 'c');
  EXPECT_THROW_MSG((void)t[0], ERangeError, "Range check error");
  EXPECT_THROW_MSG((void)t[-1], ERangeError, "Range check error");
  EXPECT_THROW_MSG((void)t[4], ERangeError, "Range check error");
  EXPECT_THROW(t.SetAt(0, 'x'), ERangeError);
  EXPECT_THROW(t.SetAt(4, 'x'), ERangeError);
  Text empty;
  EXPECT_THROW((void)empty[1], ERangeError);
  EXPECT_THROW((void)empty[0], ERangeError);
  EXPECT_EQ(t, "abc");
}

TEST(TextTest, SubClampsToTheText) {
  Text t("abcdef");
  EXPECT_EQ(t.Sub(2, 3), "bcd");
  EXPECT_EQ(t.Sub(0, 2), "ab");
  EXPECT_EQ(t.Sub(-5, 2), "ab");
  EXPECT_EQ(t.Sub(4, 100), "def");
  EXPECT_EQ(t.Sub(6, 1), "f");
  EXPECT_EQ(t.Sub(7, 1), "");
  EXPECT_EQ(t.Sub(2, 0), "");
  EXPECT_EQ(t.Sub(2, -1), "");
  EXPECT_EQ(Text().Sub(1, 1), "");
  EXPECT_TRUE(t.Sub(1, 6).SharesBytesWith(t));
}

TEST(TextTest, PosFindsTheFirstOccurrence) {
  Text t("abcabc");
  EXPECT_EQ(t.Pos("bc"), 2u);
  EXPECT_EQ(t.Pos("abc"), 1u);
  EXPECT_EQ(t.Pos("x"), 0u);
  EXPECT_EQ(t.Pos(""), 0u);
  EXPECT_EQ(t.Pos("abcabcd"), 0u);
  EXPECT_EQ(Text().Pos("a"), 0u);
}

TEST(TextTest, AppendingATextToItself) {
  Text t("abc");
  t += t;
  EXPECT_EQ(t, "abcabc");

  // Once with room to spare, once shared with a copy.
  t.Reserve(100);
  t += t;
  EXPECT_EQ(t, "abcabcabcabc");
  Text copy = t;
  t += copy;
  EXPECT_EQ(t.Length(), 24u);
  EXPECT_EQ(copy.Length(), 12u);

  Text u("xyz");
  u.Append(u.c_str() + 1, 2);
  EXPECT_EQ(u, "xyzyz");
  u += u.c_str();
  EXPECT_EQ(u, "xyzyzxyzyz");
}

TEST(TextTest, BytesWrittenIntoTheRoomJoinOnlyThisText) {
  Text t("ab");
  Text copy = t;
  std::memcpy(t.AppendRoom(3), "cde", 3);
  t.Appended(3);
  EXPECT_EQ(t, "abcde");
  EXPECT_EQ(t.c_str()[5], '\0');
  EXPECT_EQ(copy, "ab");

  Text empty;
  EXPECT_NE(empty.AppendRoom(0), nullptr);
  empty.Appended(0);
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(TextTest, ByteByByteGrowthIsGeometric) {
  Text t;
  int reallocations = 0;
  std::size_t capacity = t.Capacity();
  const std::size_t total = 1 << 20;
  for (std::size_t i = 0; i < total; ++i) {
    t += static_cast<char>('a' + i % 26);
    if (t.Capacity() != capacity) {
      EXPECT_GE(t.Capacity(), capacity + capacity / 2);
      capacity = t.Capacity();
      ++reallocations;
    }
  }
  EXPECT_EQ(t.Length(), total);
  EXPECT_LT(reallocations, 60);
  EXPECT_EQ(t[static_cast<long>(total)], static_cast<char>('a' + (total - 1) % 26));

  Text s;
  reallocations = 0;
  capacity = 0;
  for (std::size_t i = 1; i <= 100000; ++i) {
    s.SetLength(i);
    if (s.Capacity() != capacity) ++reallocations, capacity = s.Capacity();
  }
  EXPECT_LT(reallocations, 60);
}

TEST(TextTest, SetLengthZeroFillsAndKeepsThePrefix) {
  Text t("abc");
  t.SetLength(5);
  EXPECT_EQ(t.View(), std::string_view("abc\0\0", 5));
  t.SetLength(1);
  EXPECT_EQ(t, "a");
  t.SetLength(0);
  EXPECT_TRUE(t.IsEmpty());
}

TEST(TextTest, FieldRule) {
  Text t("a,,b,c");
  EXPECT_EQ(Field(t, ',', 0), "");
  EXPECT_EQ(Field(t, ',', -1), "");
  EXPECT_EQ(Field(t, ',', 1), "a");
  EXPECT_EQ(Field(t, ',', 2), "");
  EXPECT_EQ(Field(t, ',', 3), "b");
  EXPECT_EQ(Field(t, ',', 4), "c");
  EXPECT_EQ(Field(t, ',', 5), "");
  EXPECT_EQ(Field(Text(), ',', 1), "");
  EXPECT_EQ(Field("abc", ',', 1), "abc");
  EXPECT_EQ(Field("abc", ',', 2), "");
  EXPECT_EQ(Field("a,", ',', 2), "");
  EXPECT_EQ(Field(",a", ',', 1), "");
  EXPECT_EQ(Field(",a", ',', 2), "a");
  EXPECT_EQ(Field("http://h:80/p", ':', 3), "80/p");
}

TEST(TextTest, FormatTextFillsInOrder) {
  EXPECT_EQ(FormatText("Cannot open file %s", {"C:\\x.txt"}), "Cannot open file C:\\x.txt");
  EXPECT_EQ(FormatText("%s-%s", {"a", "b"}), "a-b");
  EXPECT_EQ(FormatText("'%s'", {""}), "''");
  EXPECT_EQ(FormatText("100%", {}), "100%");
  EXPECT_EQ(FormatText("%d %s", {"x"}), "%d x");
  // An argument holding "%s" is not expanded again.
  EXPECT_EQ(FormatText("%s%s", {"%s", "b"}), "%sb");
}

TEST(TextTest, ComparisonIsByBytes) {
  EXPECT_EQ(Text("abc"), Text("abc"));
  EXPECT_NE(Text("abc"), Text("abC"));
  EXPECT_NE(Text("ab"), Text("abc"));
  EXPECT_TRUE(Text("ab") < Text("abc"));
  EXPECT_TRUE(Text("z") < Text("\xC3"));  // bytes compare unsigned
  const char* none = nullptr;
  EXPECT_TRUE(Text() == none);
  Text t("x");
  t += none;
  EXPECT_EQ(t, "x");
}

TEST(TextGrowth, LargeTextKeepsEveryByteWhileItsBlockMoves) {
  Text grown;
  std::string expected;
  for (int chunk = 0; chunk < 300; ++chunk) {
    std::string piece(65536, static_cast<char>('a' + chunk % 26));
    piece[chunk % 65536] = '\0';
    grown.Append(piece.data(), piece.size());
    expected += piece;
  }
  ASSERT_EQ(grown.Length(), expected.size());
  EXPECT_TRUE(grown.View() == expected);
}

// Outside bytes that count how often they are brought into memory, and can refuse to be.
class CountedStorage final : public TextStorage {
 public:
  explicit CountedStorage(const char* bytes, int* maps) : bytes_(bytes), maps_(maps) {}
  const char* Map() override {
    ++*maps_;
    if (bytes_ == nullptr) throw std::bad_alloc();
    return bytes_;
  }

 private:
  const char* bytes_;
  int* maps_;
};

TEST(TextStorageTest, BytesAreMappedOnlyWhenRead) {
  static const char kBytes[] = "abc\0def";
  int maps = 0;
  auto storage = std::make_unique<CountedStorage>(kBytes, &maps);
  storage->zeroFree = 3;
  storage->zeroFollows = true;
  Text text = Text::OverStorage(std::move(storage), nullptr, 7, 7);

  // Counting, copying and the cut at the known zero read nothing.
  const Text copy = text;
  EXPECT_EQ(text.LengthBeforeZero(), 3u);
  const Text cut = text.Left(3);
  EXPECT_EQ(cut.Storage(), text.Storage());
  EXPECT_EQ(maps, 0);

  // One read maps the bytes for every text over them.
  EXPECT_EQ(cut.View(), "abc");
  EXPECT_EQ(text.View(), std::string_view("abc\0def", 7));
  EXPECT_EQ(maps, 1);

  // Bytes that cannot be mapped are a failure of memory, and a change copies nothing.
  int refused = 0;
  Text unmappable = Text::OverStorage(std::make_unique<CountedStorage>(nullptr, &refused), nullptr, 5, 5);
  EXPECT_THROW(unmappable.c_str(), std::bad_alloc);
  EXPECT_THROW(unmappable.Append("x", 1), std::bad_alloc);
  EXPECT_EQ(unmappable.Length(), 5u);
  EXPECT_EQ(refused, 2);
}

}  // namespace
}  // namespace vrk
