// Header field lines in a string list (line 1: "s" for a sorted list, anything else for an
// unsorted one; line 2: a field name; line 3: a value; the rest: the lines). A found index
// names a line with that name, the first one in an unsorted list; "not found" means no line
// has it; every name the list holds is found; setting a field leaves exactly one changed,
// added or removed line.
#include <cstdint>

#include "framework/exceptions.h"
#include "fuzz/fuzz_support.h"
#include "net/NMExtstr.h"

namespace {

using vrk::TExStringList;
using vrk::Text;

// The lines a lookup must visit are bounded, so that long lists stay fast.
constexpr int kNamesLookedUp = 64;

char Folded(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Folded(a[i]) != Folded(b[i])) return false;
  }
  return true;
}

// The name of a line is the text before its first ":". A line without one has no name in an
// unsorted list and the empty name in a sorted one.
bool NamesField(const TExStringList& list, const Text& line, const Text& name) {
  const std::size_t colon = line.View().find(':');
  if (colon == std::string_view::npos) return list.Sorted() && name.IsEmpty();
  return SameName(line.View().substr(0, colon), name.View());
}

int FirstLineNaming(const TExStringList& list, const Text& name) {
  for (int i = 0; i < list.Count(); ++i) {
    if (NamesField(list, list.Get(i), name)) return i;
  }
  return -1;
}

void CheckLookup(const TExStringList& list, const Text& name) {
  const int found = list.IndexOfFieldName(name);
  const int first = FirstLineNaming(list, name);
  if (found < 0) {
    FUZZ_REQUIRE(first < 0);
  } else {
    FUZZ_REQUIRE(found < list.Count() && NamesField(list, list.Get(found), name));
    if (!list.Sorted()) FUZZ_REQUIRE(found == first);
  }
}

bool SameLines(const TExStringList& a, const TExStringList& b) {
  if (a.Count() != b.Count()) return false;
  for (int i = 0; i < a.Count(); ++i) {
    if (!(a.Get(i) == b.Get(i))) return false;
  }
  return true;
}

// `after` is `before` with line `index` removed.
bool WithoutLine(const TExStringList& before, const TExStringList& after, int index) {
  if (after.Count() + 1 != before.Count()) return false;
  for (int i = 0; i < after.Count(); ++i) {
    if (!(after.Get(i) == before.Get(i < index ? i : i + 1))) return false;
  }
  return true;
}

void CheckSetValue(const TExStringList& before, const Text& name, const Text& value) {
  TExStringList after(before);
  const int found = before.IndexOfFieldName(name);
  try {
    after.SetFieldValue(name, value);
  } catch (const vrk::EListError&) {
    // A sorted list takes no new or replaced line, and is left as it was.
    FUZZ_REQUIRE(before.Sorted() && !value.IsEmpty() && SameLines(before, after));
    return;
  }
  if (value.IsEmpty()) {
    FUZZ_REQUIRE(found < 0 ? SameLines(before, after) : WithoutLine(before, after, found));
    return;
  }
  FUZZ_REQUIRE(!before.Sorted());
  const Text line = name + ": " + value;
  if (found < 0) {
    FUZZ_REQUIRE(after.Count() == before.Count() + 1 && after.Get(before.Count()) == line);
    for (int i = 0; i < before.Count(); ++i) FUZZ_REQUIRE(after.Get(i) == before.Get(i));
  } else {
    FUZZ_REQUIRE(after.Count() == before.Count());
    for (int i = 0; i < before.Count(); ++i) {
      FUZZ_REQUIRE(after.Get(i) == (i == found ? line : before.Get(i)));
    }
  }
  // The field reads back, unless its name cannot be told from its value.
  if (name.Pos(":") == 0) {
    const int again = after.IndexOfFieldName(name);
    FUZZ_REQUIRE(again >= 0 && after.Get(again) == line);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vrk::fuzz::Fields input(data, size);
  const bool sorted = input.Line() == "s";
  const Text name(input.Line());
  const Text value(input.Line());
  TExStringList list;
  list.SetSorted(sorted);
  list.SetText(Text(input.Rest()));

  CheckLookup(list, name);
  for (int i = 0; i < list.Count() && i < kNamesLookedUp; ++i) {
    const Text line = list.Get(i);
    const std::size_t colon = line.Pos(":");
    if (colon != 0) CheckLookup(list, line.Sub(1, static_cast<long>(colon) - 1));
  }
  CheckSetValue(list, name, value);
  return 0;
}
