// TExStringList::SetFieldValue: adding, replacing or removing the line of a field.
#include "net/NMExtstr.h"

namespace vrk {

void TExStringList::SetFieldValue(const Text& Name, const Text& Value) {
  int index = IndexOfFieldName(Name);
  if (Value.IsEmpty()) {
    if (index >= 0) Delete(index);
    return;
  }
  // On a sorted list Put refuses with EListError before anything has changed, so the
  // placeholder line must not be appended first there.
  if (index < 0) {
    RefuseWhenSorted(Sorted());
    index = Add(Text());
  }
  Put(index, Name + ": " + Value);
}

}  // namespace vrk
