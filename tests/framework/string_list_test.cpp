#include "framework/string_list.h"

#include <gtest/gtest.h>

#include "framework/exceptions.h"
#include "tests/support/expect_throw.h"

namespace vrk {
namespace {

std::string Lines(const TStringList& list) {
  std::string all;
  for (int i = 0; i < list.Count(); ++i) all += list[i].ToStdString() + "|";
  return all;
}

TEST(StringListTest, EditsByIndex) {
  TStringList list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.Sorted());
  EXPECT_EQ(list.Add("b"), 0);
  EXPECT_EQ(list.Add("a"), 1);
  list.Insert(0, "first");
  list.Insert(3, "last");
  EXPECT_EQ(Lines(list), "first|b|a|last|");
  list.Put(1, "B");
  list.Delete(0);
  EXPECT_EQ(Lines(list), "B|a|last|");
  EXPECT_EQ(list.Get(2), "last");
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(StringListTest, IndexOutOfBoundsNamesTheIndex) {
  TStringList list;
  list.Add("x");
  EXPECT_THROW_MSG(list.Get(1), EListError, "List index out of bounds (1)");
  EXPECT_THROW_MSG(list.Get(-1), EListError, "List index out of bounds (-1)");
  EXPECT_THROW_MSG(list.Put(1, "y"), EListError, "List index out of bounds (1)");
  EXPECT_THROW_MSG(list.Delete(5), EListError, "List index out of bounds (5)");
  EXPECT_THROW_MSG(list.Insert(2, "y"), EListError, "List index out of bounds (2)");
  EXPECT_THROW_MSG(TStringList().Get(0), EListError, "List index out of bounds (0)");
  EXPECT_EQ(list.Count(), 1);
}

TEST(StringListTest, SortedListKeepsCaseInsensitiveOrder) {
  TStringList list;
  list.Add("pear");
  list.Add("Banana");
  list.Add("apple");
  list.SetSorted(true);
  EXPECT_EQ(Lines(list), "apple|Banana|pear|");
  EXPECT_EQ(list.Add("APPLE"), 1);  // after the equal line already there
  EXPECT_EQ(list.Add("cherry"), 3);
  EXPECT_EQ(list.Add("zz"), 5);
  EXPECT_EQ(Lines(list), "apple|APPLE|Banana|cherry|pear|zz|");
  EXPECT_EQ(list.IndexOf("BANANA"), 2);
  EXPECT_EQ(list.IndexOf("apple"), 0);
  EXPECT_EQ(list.IndexOf("kiwi"), -1);

  EXPECT_THROW_MSG(list.Put(0, "x"), EListError, "Operation not allowed on sorted list");
  EXPECT_THROW(list.Insert(0, "x"), EListError);
  list.Delete(0);
  EXPECT_EQ(list[0], "APPLE");

  list.SetSorted(false);
  EXPECT_EQ(list.Add("aaa"), 5);
}

TEST(StringListTest, UnsortedIndexOfFindsTheFirstIgnoringCase) {
  TStringList list;
  list.Add("Host: a");
  list.Add("host: A");
  EXPECT_EQ(list.IndexOf("HOST: A"), 0);
  EXPECT_EQ(list.IndexOf("Host"), -1);
  EXPECT_EQ(TStringList::CompareLines("\xC8", "\xE8"), -1);  // only ASCII letters fold
}

TEST(StringListTest, TextFormEndsEveryLineWithCrLf) {
  TStringList list;
  EXPECT_EQ(list.GetText(), "");
  list.Add("GET / HTTP/1.0");
  list.Add("");
  list.Add("Host: x");
  EXPECT_EQ(list.GetText(), "GET / HTTP/1.0\r\n\r\nHost: x\r\n");
}

TEST(StringListTest, SetTextSplitsAtAnyLineEnd) {
  TStringList list;
  list.Add("old");
  list.SetText("a\r\nb\nc\rd");
  EXPECT_EQ(Lines(list), "a|b|c|d|");
  list.SetText("a\r\n");
  EXPECT_EQ(Lines(list), "a|");
  list.SetText("\n\r\n\r");
  EXPECT_EQ(Lines(list), "|||");
  list.SetText("a\n\rb");
  EXPECT_EQ(Lines(list), "a||b|");
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);

  TStringList round;
  round.SetText(Text("x\0y\r\nz", 6));
  EXPECT_EQ(round.Count(), 2);
  EXPECT_EQ(round[0].Length(), 3u);
  EXPECT_EQ(round.GetText(), Text("x\0y\r\nz\r\n", 8));
}

// A derived list sees its overrides used by the base's text and bulk operations.
class CountingList : public TStringList {
 public:
  int adds = 0;
  int Add(const Text& line) override {
    ++adds;
    return TStringList::Add(line);
  }
};

TEST(StringListTest, BulkOperationsGoThroughTheVirtualAdd) {
  CountingList list;
  list.SetText("a\nb");
  EXPECT_EQ(list.adds, 2);
  list.AddStrings(list);
  EXPECT_EQ(Lines(list), "a|b|a|b|");
}

}  // namespace
}  // namespace vrk
