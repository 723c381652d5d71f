// The header-field list: search and set by name, with its letter-case rules.
#include <gtest/gtest.h>

#include <initializer_list>

#include "framework/exceptions.h"
#include "net/NMExtstr.h"
#include "platform/winapi.h"
#include "tests/support/expect_throw.h"

namespace vrk {
namespace {

TExStringList ListOf(std::initializer_list<const char*> lines) {
  TExStringList list;
  for (const char* line : lines) list.Add(line);
  return list;
}

TEST(ExStringListSearch, FindsFieldByNameIgnoringCaseAndSkipsLinesWithoutColon) {
  TExStringList list = ListOf({"GET /a HTTP/1.0", "Host: x"});
  EXPECT_EQ(list.IndexOfFieldName("Host"), 1);
  EXPECT_EQ(list.IndexOfFieldName("host"), 1);
  EXPECT_EQ(list.IndexOfFieldName("HOST"), 1);
  EXPECT_EQ(list.IndexOfFieldName("GET"), -1);
  EXPECT_EQ(list.IndexOfFieldName("Hos"), -1);
  EXPECT_EQ(list.IndexOfFieldName("Host: x"), -1);
}

TEST(ExStringListSearch, NameIsTheVerbatimTextBeforeTheFirstColon) {
  TExStringList list = ListOf({"Host : x", ": empty", "Via:a:b"});
  EXPECT_EQ(list.IndexOfFieldName("Host"), -1);
  EXPECT_EQ(list.IndexOfFieldName("Host "), 0);
  EXPECT_EQ(list.IndexOfFieldName(""), 1);
  EXPECT_EQ(list.IndexOfFieldName("Via"), 2);
  EXPECT_EQ(list.IndexOfFieldName("Via:a"), -1);
}

TEST(ExStringListSearch, EmptyListHasNoFieldSortedOrNot) {
  TExStringList list;
  EXPECT_EQ(list.IndexOfFieldName("Host"), -1);
  list.SetSorted(true);
  EXPECT_EQ(list.IndexOfFieldName("Host"), -1);
  EXPECT_EQ(list.IndexOfFieldName(""), -1);
}

TEST(ExStringListSearch, FirstOfTwoEqualNamesWins) {
  TExStringList list = ListOf({"Accept: a", "accept: b"});
  EXPECT_EQ(list.IndexOfFieldName("ACCEPT"), 0);
}

TEST(ExStringListSearch, SortedListFindsEveryFieldWhateverItsNeighbours) {
  // Whole-line order puts "Host-Name" before "Host" here ('-' < ':'), so a search by
  // names alone would turn the wrong way at "Host-Name".
  TExStringList list = ListOf({"Host: x", "Host-Name: y", "Accept: a", "Zeta: z", "Host!: w",
                               ": colon first", "Cookie: c"});
  list.SetSorted(true);
  for (int index = 0; index < list.Count(); ++index) {
    const Text line = list[index];
    const Text name = line.Sub(1, static_cast<long>(line.Pos(":")) - 1);
    EXPECT_EQ(list.IndexOfFieldName(name), index) << line.c_str();
  }
  EXPECT_EQ(list[list.IndexOfFieldName("host")], "Host: x");
  EXPECT_EQ(list.IndexOfFieldName("Hos"), -1);
  EXPECT_EQ(list.IndexOfFieldName("Hosts"), -1);
  EXPECT_EQ(list.IndexOfFieldName("Zz"), -1);
  EXPECT_EQ(list.IndexOfFieldName("A:b"), -1);
}

TEST(ExStringListSearch, SortedListGivesALineWithoutColonTheEmptyName) {
  TExStringList list = ListOf({"Accept: a", "GET /a HTTP/1.0", "Host: x", "Zeta: z"});
  list.SetSorted(true);
  EXPECT_EQ(list[list.IndexOfFieldName("")], "GET /a HTTP/1.0");
  TExStringList named = ListOf({"Accept: a", "Host: x"});
  named.SetSorted(true);
  EXPECT_EQ(named.IndexOfFieldName(""), -1);
}

TEST(ExStringListSet, ReplacesAppendsOrLeavesAlone) {
  TExStringList list = ListOf({"GET /a HTTP/1.0", "Host: x"});
  list.SetFieldValue("host", "y");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1], "host: y");

  list.SetFieldValue("Cookie", "");
  EXPECT_EQ(list.Count(), 2);

  list.SetFieldValue("Cookie", "k=v");
  EXPECT_EQ(list.GetText(), "GET /a HTTP/1.0\r\nhost: y\r\nCookie: k=v\r\n");
}

TEST(ExStringListSet, EmptyValueDeletesTheLineAndLaterLinesMoveUp) {
  TExStringList list = ListOf({"A: 1", "Cookie: c", "B: 2"});
  list.SetFieldValue("COOKIE", "");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[1], "B: 2");
}

TEST(ExStringListSet, EmptyListGetsExactlyOneLine) {
  TExStringList list;
  list.SetFieldValue("Host", "");
  EXPECT_EQ(list.Count(), 0);
  list.SetFieldValue("Host", "example.org");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], "Host: example.org");
}

TEST(ExStringListSet, SeparatorIsAlwaysColonAndOneSpace) {
  TExStringList list = ListOf({"Host:x", "Host : z"});
  list.SetFieldValue("Host", "x");
  EXPECT_EQ(list[0], "Host: x");
  EXPECT_EQ(list[1], "Host : z");

  TExStringList spaced = ListOf({"Host : x"});
  spaced.SetFieldValue("Host", "y");
  ASSERT_EQ(spaced.Count(), 2);
  EXPECT_EQ(spaced[1], "Host: y");
}

TEST(ExStringListSet, OnlyTheFirstOfTwoEqualNamesIsTouched) {
  TExStringList list = ListOf({"Accept: a", "Accept: b"});
  list.SetFieldValue("Accept", "c");
  EXPECT_EQ(list.GetText(), "Accept: c\r\nAccept: b\r\n");
  list.SetFieldValue("Accept", "");
  EXPECT_EQ(list.GetText(), "Accept: b\r\n");
}

TEST(ExStringListSet, SortedListRefusesWithoutLeavingAStrayLine) {
  TExStringList list = ListOf({"B: 2", "A: 1"});
  list.SetSorted(true);
  EXPECT_THROW_MSG(list.SetFieldValue("C", "3"), EListError, "Operation not allowed on sorted list");
  EXPECT_EQ(list.GetText(), "A: 1\r\nB: 2\r\n");
  EXPECT_THROW(list.SetFieldValue("a", "9"), EListError);
  EXPECT_EQ(list.GetText(), "A: 1\r\nB: 2\r\n");
  // Removing keeps the order, so it is allowed.
  list.SetFieldValue("a", "");
  EXPECT_EQ(list.GetText(), "B: 2\r\n");
}

TEST(ExStringListCompare, CaseIsIgnoredAndOrderFollowsTheLetters) {
  EXPECT_EQ(CompareFieldNames("Content-Length", "CONTENT-LENGTH"), 0);
  EXPECT_EQ(CompareFieldNames("", ""), 0);
  EXPECT_LT(CompareFieldNames("accept", "Host"), 0);
  EXPECT_GT(CompareFieldNames("host", "Accept"), 0);
  EXPECT_LT(CompareFieldNames("Host", "Hosts"), 0);
}

TEST(ExStringListCompare, PlatformCompareStringCountsAndRefusals) {
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "abc", -1, "ABC", -1), CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, 0, "abc", 2, "abX", 2), CSTR_EQUAL);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "ab", -1, "abc", -1),
            CSTR_LESS_THAN);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, "b", -1, "A", -1),
            CSTR_GREATER_THAN);
  EXPECT_EQ(CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, nullptr, 0, "A", -1), 0);
}

}  // namespace
}  // namespace vrk
