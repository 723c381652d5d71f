// An ordered list of text lines, indexed from 0, optionally kept sorted.
#pragma once

#include <vector>

#include "framework/component.h"
#include "framework/text.h"

namespace vrk {

class TStringList : public TPersistent {
 public:
  TStringList() = default;
  TStringList(const TStringList&) = default;
  TStringList& operator=(const TStringList&) = default;

  int Count() const noexcept { return static_cast<int>(lines_.size()); }

  // Indexes outside 0..Count()-1 raise EListError "List index out of bounds (N)".
  virtual Text Get(int index) const;
  Text operator[](int index) const { return Get(index); }
  // Replacing or inserting at a chosen place would break a sorted list's order:
  // both raise EListError "Operation not allowed on sorted list" then.
  virtual void Put(int index, const Text& line);
  // Appends (or, when sorted, inserts after any equal lines); returns the line's index.
  virtual int Add(const Text& line);
  // Index Count() appends.
  virtual void Insert(int index, const Text& line);
  virtual void Delete(int index);
  virtual void Clear();

  // Index of the first line equal to `line` with ASCII case ignored, or -1.
  virtual int IndexOf(const Text& line) const;

  bool Sorted() const noexcept { return sorted_; }
  // Switching it on sorts the lines at once (equal lines keep their order).
  void SetSorted(bool sorted);

  // Every line followed by "\r\n".
  Text GetText() const;
  // Replaces the lines by those of `text`, split at CR LF, CR or LF; a line end
  // at the very end does not start another line.
  void SetText(const Text& text);

  void AddStrings(const TStringList& other);

  // Case-insensitive ASCII order of sorted lists: negative, zero or positive.
  static int CompareLines(const Text& a, const Text& b) noexcept;

 protected:
  // Raises EListError unless 0 <= index < limit.
  static void CheckIndex(int index, int limit);
  static void RefuseWhenSorted(bool sorted);

 private:
  std::vector<Text> lines_;
  bool sorted_ = false;
};

}  // namespace vrk
