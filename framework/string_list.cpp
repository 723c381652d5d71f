#include "framework/string_list.h"

#include <algorithm>
#include <string>

#include "base/ascii.h"
#include "framework/exceptions.h"

namespace vrk {

int TStringList::CompareLines(const Text& a, const Text& b) noexcept {
  return ascii::CompareIgnoringCase(a.View(), b.View());
}

void TStringList::CheckIndex(int index, int limit) {
  if (index < 0 || index >= limit) {
    throw EListError(FormatText("List index out of bounds (%s)", {Text(std::to_string(index))}));
  }
}

void TStringList::RefuseWhenSorted(bool sorted) {
  if (sorted) throw EListError("Operation not allowed on sorted list");
}

Text TStringList::Get(int index) const {
  CheckIndex(index, Count());
  return lines_[static_cast<std::size_t>(index)];
}

void TStringList::Put(int index, const Text& line) {
  RefuseWhenSorted(sorted_);
  CheckIndex(index, Count());
  lines_[static_cast<std::size_t>(index)] = line;
}

int TStringList::Add(const Text& line) {
  if (!sorted_) {
    lines_.push_back(line);
    return Count() - 1;
  }
  auto place = std::upper_bound(lines_.begin(), lines_.end(), line, [](const Text& a, const Text& b) {
    return CompareLines(a, b) < 0;
  });
  place = lines_.insert(place, line);
  return static_cast<int>(place - lines_.begin());
}

void TStringList::Insert(int index, const Text& line) {
  RefuseWhenSorted(sorted_);
  CheckIndex(index, Count() + 1);
  lines_.insert(lines_.begin() + index, line);
}

void TStringList::Delete(int index) {
  CheckIndex(index, Count());
  lines_.erase(lines_.begin() + index);
}

void TStringList::Clear() { lines_.clear(); }

int TStringList::IndexOf(const Text& line) const {
  if (sorted_) {
    auto found = std::lower_bound(lines_.begin(), lines_.end(), line, [](const Text& a, const Text& b) {
      return CompareLines(a, b) < 0;
    });
    if (found != lines_.end() && CompareLines(*found, line) == 0) {
      return static_cast<int>(found - lines_.begin());
    }
    return -1;
  }
  for (int i = 0; i < Count(); ++i) {
    if (CompareLines(lines_[static_cast<std::size_t>(i)], line) == 0) return i;
  }
  return -1;
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) {
    std::stable_sort(lines_.begin(), lines_.end(), [](const Text& a, const Text& b) {
      return CompareLines(a, b) < 0;
    });
  }
  sorted_ = sorted;
}

Text TStringList::GetText() const {
  std::size_t total = 0;
  for (int i = 0; i < Count(); ++i) total += Get(i).Length() + 2;
  Text text;
  text.Reserve(total);
  for (int i = 0; i < Count(); ++i) {
    text += Get(i);
    text.Append("\r\n", 2);
  }
  return text;
}

void TStringList::SetText(const Text& text) {
  Clear();
  std::string_view rest = text.View();
  while (!rest.empty()) {
    std::size_t end = rest.find_first_of("\r\n");
    Add(Text(rest.substr(0, end)));
    if (end == std::string_view::npos) break;
    std::size_t next = end + 1;
    if (rest[end] == '\r' && next < rest.size() && rest[next] == '\n') ++next;
    rest.remove_prefix(next);
  }
}

void TStringList::AddStrings(const TStringList& other) {
  // A copy first, so that adding a list to itself adds each line once.
  std::vector<Text> lines;
  for (int i = 0; i < other.Count(); ++i) lines.push_back(other.Get(i));
  for (const Text& line : lines) Add(line);
}

}  // namespace vrk
