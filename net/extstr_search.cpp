// TExStringList::IndexOfFieldName: finding the line that carries a field name.
#include "net/NMExtstr.h"

namespace vrk {

namespace {

// Text before the first ":"; false when the line has none.
bool NameOfLine(const Text& line, Text& name) {
  const std::size_t colon = line.Pos(":");
  if (colon == 0) return false;
  name = line.Sub(1, static_cast<long>(colon) - 1);
  return true;
}

}  // namespace

// A line without ":" has the empty name too, and such lines stand anywhere in the
// order of whole lines: no probe can find them, so they are looked for one by one.
int TExStringList::IndexOfEmptyName() const {
  for (int index = 0; index < Count(); ++index) {
    const std::size_t colon = Get(index).Pos(":");
    if (colon == 0 || colon == 1) return index;
  }
  return -1;
}

int TExStringList::IndexOfFieldName(const Text& Name) const {
  if (!Sorted()) {
    Text name;
    for (int index = 0; index < Count(); ++index) {
      if (NameOfLine(Get(index), name) && CompareFieldNames(name, Name) == 0) return index;
    }
    return -1;
  }

  // A sorted list is ordered by whole lines, and names alone do not follow that order
  // ("Host-Name: y" sorts before "Host: x" although "Host" sorts before "Host-Name").
  // Name + ":" is a prefix of exactly the wanted lines, and prefixes of a fixed length do
  // keep the lines' order, so the probe compares those under the list's own ordering.
  if (Count() == 0 || Name.Pos(":") != 0) return -1;
  if (Name.IsEmpty()) return IndexOfEmptyName();
  const Text key = Name + ':';
  int low = 0;
  int high = Count() - 1;
  while (high + 1 != low) {
    const int probe = low + (high - low) / 2;
    const int order = CompareLines(Get(probe).Sub(1, static_cast<long>(key.Length())), key);
    if (order == 0) return probe;
    if (order < 0) {
      low = probe + 1;
    } else {
      high = probe - 1;
    }
  }
  return -1;
}

}  // namespace vrk
