// NMExtstr: TExStringList, a string list whose lines are header fields "Name: Value".
// The name of a line is the text before its first ":", taken verbatim.
#pragma once

#include "framework/string_list.h"
#include "framework/text.h"

namespace vrk {

class TExStringList : public TStringList {
 public:
  TExStringList() = default;

  // Index (from 0) of the line whose name equals Name, ignoring letter case; -1 if none.
  // Unsorted: the first such line; lines without ":" never match. Sorted: a binary search,
  // in which a line without ":" has the empty name.
  int IndexOfFieldName(const Text& Name) const;
  // A non-empty Value makes the first line for Name read Name + ": " + Value (appending
  // one if needed); an empty Value deletes that line if there is one.
  void SetFieldValue(const Text& Name, const Text& Value);

 private:
  int IndexOfEmptyName() const;
};

// Locale-aware comparison of field names with letter case ignored: negative, 0 or positive.
int CompareFieldNames(const Text& a, const Text& b);

}  // namespace vrk
