#include "platform/posix/kernel/profile_document.h"

#include <algorithm>
#include <set>

#include "base/ascii.h"

namespace vrk_posix {

namespace {

bool IsLineEnd(char c) noexcept { return c == '\r' || c == '\n'; }

constexpr std::string_view Trimmed(std::string_view s) noexcept { return vrk::ascii::TrimBlanks(s); }
constexpr char Folded(char c) noexcept { return vrk::ascii::Upper(c); }

// Editors that save UTF-8 put a byte order mark in front of the first section header.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Those of UTF-16 files, which Windows reads and writes as such.
constexpr std::string_view kLittleEndianMark = "\xFF\xFE";
constexpr std::string_view kBigEndianMark = "\xFE\xFF";

// A header or an entry; nothing for comments, blank lines and anything else.
std::optional<ProfileLine> Classify(std::string_view text, bool first) {
  if (first && text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    text.remove_prefix(kByteOrderMark.size());
  }
  const std::string_view body = Trimmed(text);
  if (body.empty() || body.front() == ';') return std::nullopt;
  if (body.front() == '[') {
    const std::size_t close = body.find(']');
    if (close == std::string_view::npos) return std::nullopt;  // no closing bracket: not a header
    return ProfileLine{ProfileLine::Kind::kSection, Trimmed(body.substr(1, close - 1)), {}};
  }
  const std::size_t equals = body.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  // A line such as "=value" holds a key with an empty name, which an empty key name finds.
  return ProfileLine{ProfileLine::Kind::kEntry, Trimmed(body.substr(0, equals)),
                     Trimmed(body.substr(equals + 1))};
}

// 23 bits of the folded name, as a mark holds them.
std::uint32_t NameHash(std::string_view name) noexcept {
  std::uint32_t hash = 2166136261u;
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(Folded(c))) * 16777619u;
  return hash & 0x7FFFFFu;
}

// "\r\n", "\r" or "\n" at `at`; empty at the end of the bytes.
std::string_view LineEndAt(std::string_view bytes, std::size_t at) {
  if (at >= bytes.size()) return {};
  if (bytes[at] == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') return "\r\n";
  return bytes[at] == '\r' ? "\r" : "\n";
}

// An empty name would end a zero-separated list early.
void AddOnce(std::vector<std::string>& names, std::set<std::string>& seen, std::string_view name) {
  if (name.empty()) return;
  std::string folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(), Folded);
  if (seen.insert(std::move(folded)).second) names.emplace_back(name);
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) noexcept {
  return vrk::ascii::EqualIgnoringCase(a, b);
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

ProfileLine ProfileLines::operator[](std::size_t index) const { return document_.LineAt(index); }

ProfileDocument ProfileDocument::Parse(std::string&& bytes) {
  ProfileDocument document;
  if (bytes.starts_with(kLittleEndianMark)) {
    document.utf16_ = ByteOrder::kLittleEndian;
  } else if (bytes.starts_with(kBigEndianMark)) {
    document.utf16_ = ByteOrder::kBigEndian;
  }
  if (document.utf16_) {
    std::string_view units = std::string_view(bytes).substr(kLittleEndianMark.size());
    if (units.size() % 2 != 0) {
      document.oddByte_ = units.back();
      units.remove_suffix(1);
    }
    document.bytes_ = Utf8FromUtf16(units, *document.utf16_);
  } else {
    document.bytes_ = std::move(bytes);
  }
  const std::string_view lineEnd = document.Index();
  if (!lineEnd.empty()) document.lineEnd_ = lineEnd;
  return document;
}

std::string ProfileDocument::Serialize() const {
  if (!utf16_) return bytes_;
  std::string bytes(*utf16_ == ByteOrder::kLittleEndian ? kLittleEndianMark : kBigEndianMark);
  bytes += Utf16FromUtf8(bytes_, *utf16_);
  bytes += oddByte_;
  return bytes;
}

std::string ProfileDocument::Readable(std::string_view text) const {
  return utf16_ ? WithoutLoneSurrogates(text) : std::string(text);
}

std::string_view ProfileDocument::Index() {
  marks_.clear();
  std::string_view firstEnd;
  const std::string_view bytes = bytes_;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::string_view text = TextFrom(start);
    if (const std::optional<ProfileLine> line = Classify(text, start == 0)) {
      marks_.push_back(
          Mark{start, line->kind == ProfileLine::Kind::kSection, NameHash(line->name)});
    }
    const std::string_view end = LineEndAt(bytes, start + text.size());
    if (end.empty()) break;
    if (firstEnd.empty()) firstEnd = end;
    start += text.size() + end.size();
  }
  return firstEnd;
}

std::string_view ProfileDocument::TextFrom(std::size_t offset) const {
  std::size_t stop = offset;
  while (stop < bytes_.size() && !IsLineEnd(bytes_[stop])) ++stop;
  return std::string_view(bytes_).substr(offset, stop - offset);
}

std::size_t ProfileDocument::LineAfter(std::size_t offset) const {
  const std::size_t stop = offset + TextFrom(offset).size();
  return stop + LineEndAt(bytes_, stop).size();
}

ProfileLine ProfileDocument::LineAt(std::size_t index) const {
  const std::size_t start = Start(index);
  return *Classify(TextFrom(start), start == 0);
}

bool ProfileDocument::Named(std::size_t index, bool section, std::string_view name,
                            std::uint32_t hash) const {
  const Mark mark = marks_[index];
  return mark.section == section && mark.nameHash == hash && SameName(LineAt(index).name, name);
}

std::optional<std::size_t> ProfileDocument::FindSection(std::string_view section) const {
  const std::string_view wanted = Trimmed(section);
  const std::uint32_t hash = NameHash(wanted);
  for (std::size_t i = 0; i < marks_.size(); ++i) {
    if (Named(i, true, wanted, hash)) return i;
  }
  return std::nullopt;
}

std::size_t ProfileDocument::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < marks_.size() && !marks_[i].section) ++i;
  return i;
}

std::size_t ProfileDocument::SectionEndOffset(std::size_t header) const {
  const std::size_t end = SectionEnd(header);
  return end < marks_.size() ? Start(end) : bytes_.size();
}

std::optional<std::size_t> ProfileDocument::FindKey(std::size_t header, std::string_view key) const {
  const std::string_view wanted = Trimmed(key);
  const std::uint32_t hash = NameHash(wanted);
  for (std::size_t i = header + 1; i < marks_.size() && !marks_[i].section; ++i) {
    if (Named(i, false, wanted, hash)) return i;
  }
  return std::nullopt;
}

std::vector<std::string> ProfileDocument::SectionNames() const {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (std::size_t i = 0; i < marks_.size(); ++i) {
    if (marks_[i].section) AddOnce(names, seen, Readable(LineAt(i).name));
  }
  return names;
}

std::vector<std::string> ProfileDocument::KeyNames(std::size_t header) const {
  std::vector<std::string> names;
  std::set<std::string> seen;
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) AddOnce(names, seen, Readable(LineAt(i).name));
  return names;
}

void ProfileDocument::Splice(std::size_t from, std::size_t to, std::string_view with) {
  bytes_.replace(from, to - from, with);
  Index();
}

void ProfileDocument::Erase(const std::vector<std::pair<std::size_t, std::size_t>>& ranges) {
  if (ranges.empty()) return;
  std::string kept;
  std::size_t from = 0;
  for (const auto& [start, stop] : ranges) {
    kept.append(bytes_, from, start - from);
    from = stop;
  }
  kept.append(bytes_, from);
  bytes_ = std::move(kept);
  Index();
}

void ProfileDocument::SetValue(std::string_view section, std::string_view key,
                               std::string_view value) {
  if (utf16_) {
    Put(ValidUtf8(section), ValidUtf8(key), ValidUtf8(value));
  } else {
    Put(section, key, value);
  }
}

void ProfileDocument::Put(std::string_view section, std::string_view key, std::string_view value) {
  const std::optional<std::size_t> header = FindSection(section);
  std::string added;
  if (!header) {
    if (!bytes_.empty() && !IsLineEnd(bytes_.back())) added += lineEnd_;
    added.append("[").append(section).append("]").append(lineEnd_);
    added.append(key).append("=").append(value).append(lineEnd_);
    Splice(bytes_.size(), bytes_.size(), added);
    return;
  }
  if (const std::optional<std::size_t> entry = FindKey(*header, key)) {
    // Keep the key as the file spells it and everything before the "=".
    const std::size_t start = Start(*entry);
    const std::string_view text = TextFrom(start);
    Splice(start + text.find('=') + 1, start + text.size(), value);
    return;
  }
  // The new entry goes after the last line of the section that is not blank.
  const std::size_t end = SectionEndOffset(*header);
  std::size_t last = Start(*header);
  for (std::size_t at = LineAfter(last); at < end; at = LineAfter(at)) {
    if (!Trimmed(TextFrom(at)).empty()) last = at;
  }
  const std::size_t lastStop = last + TextFrom(last).size();
  const std::string_view lastEnd = LineEndAt(bytes_, lastStop);
  if (lastEnd.empty()) added += lineEnd_;  // the file's last line, unended
  added.append(key).append("=").append(value).append(lineEnd_);
  Splice(lastStop + lastEnd.size(), lastStop + lastEnd.size(), added);
}

void ProfileDocument::DeleteKey(std::string_view section, std::string_view key) {
  const std::optional<std::size_t> header = FindSection(section);
  if (!header) return;
  // Every entry of the key goes, so that no later duplicate shows through.
  const std::string_view wanted = Trimmed(key);
  const std::uint32_t hash = NameHash(wanted);
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  const std::size_t end = SectionEnd(*header);
  for (std::size_t i = *header + 1; i < end; ++i) {
    if (Named(i, false, wanted, hash)) {
      ranges.emplace_back(Start(i), LineAfter(Start(i)));
    }
  }
  Erase(ranges);
}

void ProfileDocument::DeleteSection(std::string_view section) {
  const std::string_view wanted = Trimmed(section);
  const std::uint32_t hash = NameHash(wanted);
  std::vector<std::pair<std::size_t, std::size_t>> ranges;
  for (std::size_t i = 0; i < marks_.size(); ++i) {
    if (Named(i, true, wanted, hash)) {
      ranges.emplace_back(Start(i), SectionEndOffset(i));
    }
  }
  Erase(ranges);
}

}  // namespace vrk_posix
