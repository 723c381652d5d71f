// A profile (ini) file held as its lines, so that an edit keeps every other line byte for byte.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vrk {

struct ProfileLine {
  enum class Kind { kOther, kSection, kEntry };
  std::string text;  // the line's bytes without its line end
  std::string end;   // "\r\n", "\n", "\r", or "" for a last line without one
  Kind kind = Kind::kOther;
  std::string name;   // section or key name, blanks around it trimmed
  std::string value;  // entry value, blanks around it trimmed, quotes kept
};

class ProfileDocument {
 public:
  static ProfileDocument Parse(std::string_view bytes);
  std::string Serialize() const;

  // The line end the file uses (its first one); CRLF for a file that has none.
  const std::string& LineEnd() const noexcept { return lineEnd_; }
  const std::vector<ProfileLine>& Lines() const noexcept { return lines_; }

  // Index of the header of the first section of that name (case-insensitive).
  std::optional<std::size_t> FindSection(std::string_view section) const;
  // Index of the first entry of that key in the section starting at header.
  std::optional<std::size_t> FindKey(std::size_t header, std::string_view key) const;
  // Names of the sections, then of the keys of one section; each once, first spelling kept.
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(std::size_t header) const;

  // Edits; each leaves the lines it does not concern untouched.
  void SetValue(std::string_view section, std::string_view key, std::string_view value);
  void DeleteKey(std::string_view section, std::string_view key);
  void DeleteSection(std::string_view section);

 private:
  // One past the last line of the section starting at header.
  std::size_t SectionEnd(std::size_t header) const;
  void EnsureLastLineEnded();
  void Insert(std::size_t index, std::string text);

  std::vector<ProfileLine> lines_;
  std::string lineEnd_ = "\r\n";
};

// Removes one pair of matching quotes (" or ') around a value.
std::string_view Unquoted(std::string_view value);
// ASCII-only case folding, as profile names compare.
bool SameName(std::string_view a, std::string_view b) noexcept;

}  // namespace vrk
