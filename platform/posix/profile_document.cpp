#include "platform/posix/profile_document.h"

#include <algorithm>

namespace vrk {

namespace {

bool IsBlank(char c) noexcept { return c == ' ' || c == '\t'; }

std::string_view Trimmed(std::string_view s) noexcept {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Folded(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Editors that save UTF-8 put a byte order mark in front of the first section header.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

void Classify(ProfileLine& line, bool first) {
  std::string_view body = line.text;
  if (first && body.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    body.remove_prefix(kByteOrderMark.size());
  }
  body = Trimmed(body);
  line.kind = ProfileLine::Kind::kOther;
  if (body.empty() || body.front() == ';') return;
  if (body.front() == '[') {
    const std::size_t close = body.find(']');
    if (close == std::string_view::npos) return;  // no closing bracket: not a header
    line.kind = ProfileLine::Kind::kSection;
    line.name = std::string(Trimmed(body.substr(1, close - 1)));
    return;
  }
  const std::size_t equals = body.find('=');
  if (equals == std::string_view::npos) return;
  // A line such as "=value" holds a key with an empty name, which an empty key name finds.
  const std::string_view name = Trimmed(body.substr(0, equals));
  line.kind = ProfileLine::Kind::kEntry;
  line.name = std::string(name);
  line.value = std::string(Trimmed(body.substr(equals + 1)));
}

}  // namespace

bool SameName(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [](char x, char y) { return Folded(x) == Folded(y); });
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

ProfileDocument ProfileDocument::Parse(std::string_view bytes) {
  ProfileDocument document;
  bool lineEndSeen = false;
  std::size_t start = 0;
  while (start < bytes.size()) {
    ProfileLine line;
    std::size_t stop = bytes.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
      line.text = std::string(bytes.substr(start));
      start = bytes.size();
    } else {
      line.text = std::string(bytes.substr(start, stop - start));
      const bool crlf = bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n';
      line.end = crlf ? "\r\n" : std::string(1, bytes[stop]);
      start = stop + line.end.size();
      if (!lineEndSeen) {
        document.lineEnd_ = line.end;
        lineEndSeen = true;
      }
    }
    Classify(line, document.lines_.empty());
    document.lines_.push_back(std::move(line));
  }
  return document;
}

std::string ProfileDocument::Serialize() const {
  std::string bytes;
  for (const ProfileLine& line : lines_) {
    bytes += line.text;
    bytes += line.end;
  }
  return bytes;
}

std::optional<std::size_t> ProfileDocument::FindSection(std::string_view section) const {
  const std::string_view wanted = Trimmed(section);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == ProfileLine::Kind::kSection && SameName(lines_[i].name, wanted)) return i;
  }
  return std::nullopt;
}

std::size_t ProfileDocument::SectionEnd(std::size_t header) const {
  std::size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != ProfileLine::Kind::kSection) ++i;
  return i;
}

std::optional<std::size_t> ProfileDocument::FindKey(std::size_t header, std::string_view key) const {
  const std::string_view wanted = Trimmed(key);
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind == ProfileLine::Kind::kEntry && SameName(lines_[i].name, wanted)) return i;
  }
  return std::nullopt;
}

namespace {
void AddOnce(std::vector<std::string>& names, const std::string& name) {
  if (name.empty()) return;  // an empty name would end a zero-separated list early
  for (const std::string& known : names) {
    if (SameName(known, name)) return;
  }
  names.push_back(name);
}
}  // namespace

std::vector<std::string> ProfileDocument::SectionNames() const {
  std::vector<std::string> names;
  for (const ProfileLine& line : lines_) {
    if (line.kind == ProfileLine::Kind::kSection) AddOnce(names, line.name);
  }
  return names;
}

std::vector<std::string> ProfileDocument::KeyNames(std::size_t header) const {
  std::vector<std::string> names;
  const std::size_t end = SectionEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind == ProfileLine::Kind::kEntry) AddOnce(names, lines_[i].name);
  }
  return names;
}

void ProfileDocument::EnsureLastLineEnded() {
  if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = lineEnd_;
}

void ProfileDocument::Insert(std::size_t index, std::string text) {
  if (index > 0 && lines_[index - 1].end.empty()) lines_[index - 1].end = lineEnd_;
  ProfileLine line;
  line.text = std::move(text);
  line.end = lineEnd_;
  Classify(line, index == 0);
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
}

void ProfileDocument::SetValue(std::string_view section, std::string_view key,
                               std::string_view value) {
  const std::optional<std::size_t> header = FindSection(section);
  if (!header) {
    EnsureLastLineEnded();
    Insert(lines_.size(), "[" + std::string(section) + "]");
    Insert(lines_.size(), std::string(key) + "=" + std::string(value));
    return;
  }
  if (const std::optional<std::size_t> entry = FindKey(*header, key)) {
    // Keep the key as the file spells it and everything before the "=".
    ProfileLine& line = lines_[*entry];
    line.text = line.text.substr(0, line.text.find('=') + 1) + std::string(value);
    Classify(line, *entry == 0);
    return;
  }
  std::size_t after = *header;
  const std::size_t end = SectionEnd(*header);
  for (std::size_t i = *header + 1; i < end; ++i) {
    if (!Trimmed(lines_[i].text).empty()) after = i;
  }
  Insert(after + 1, std::string(key) + "=" + std::string(value));
}

void ProfileDocument::DeleteKey(std::string_view section, std::string_view key) {
  const std::optional<std::size_t> header = FindSection(section);
  if (!header) return;
  // Every entry of the key goes, so that no later duplicate shows through.
  while (const std::optional<std::size_t> entry = FindKey(*header, key)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*entry));
  }
}

void ProfileDocument::DeleteSection(std::string_view section) {
  while (const std::optional<std::size_t> header = FindSection(section)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(*header)));
  }
}

}  // namespace vrk
