// A profile (ini) file held as its bytes, so that an edit keeps every other line byte for byte.
// Only the lines that mean something (section headers and entries) are indexed, by where they
// start; their names and values are read from the bytes when asked for. So a large file costs
// little more than its own size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/posix/kernel/utf16_text.h"

namespace vrk_posix {

// A section header or an entry, as views into its document's bytes.
struct ProfileLine {
  enum class Kind { kSection, kEntry };
  Kind kind = Kind::kEntry;
  std::string_view name;   // section or key name, blanks around it trimmed
  std::string_view value;  // entry value, blanks around it trimmed, quotes kept
};

class ProfileDocument;

// The indexed lines of a document in file order; FindSection and FindKey give positions in it.
class ProfileLines {
 public:
  explicit ProfileLines(const ProfileDocument& document) : document_(document) {}
  ProfileLine operator[](std::size_t index) const;

 private:
  const ProfileDocument& document_;
};

// A file that begins with a UTF-16 byte order mark (either order) is held as its text in
// UTF-8, the ANSI code page here, and written back in UTF-16 in the same order.
class ProfileDocument {
 public:
  static ProfileDocument Parse(std::string&& bytes);
  static ProfileDocument Parse(std::string_view bytes) { return Parse(std::string(bytes)); }
  // The file's bytes; those of an unedited file as they were read.
  std::string Serialize() const;
  // What the lines are read from: the file's bytes, or the text of a UTF-16 file.
  const std::string& Text() const noexcept { return bytes_; }
  // A name or value of the document as a caller reads it: one of a UTF-16 file has each of
  // its lone surrogates, which UTF-8 cannot carry, as U+FFFD.
  std::string Readable(std::string_view text) const;

  // The line end the file uses (its first one); CRLF for a file that has none.
  std::string_view LineEnd() const noexcept { return lineEnd_; }
  ProfileLines Lines() const noexcept { return ProfileLines(*this); }

  // Position of the header of the first section of that name (case-insensitive).
  std::optional<std::size_t> FindSection(std::string_view section) const;
  // Position of the first entry of that key in the section whose header is at `header`.
  std::optional<std::size_t> FindKey(std::size_t header, std::string_view key) const;
  // Names of the sections, then of the keys of one section; each once, first spelling kept.
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> KeyNames(std::size_t header) const;

  // Edits; each leaves the lines it does not concern untouched. What goes into a UTF-16 file
  // is UTF-8 made valid, each malformed sequence becoming U+FFFD, as Windows converts it.
  void SetValue(std::string_view section, std::string_view key, std::string_view value);
  void DeleteKey(std::string_view section, std::string_view key);
  void DeleteSection(std::string_view section);

 private:
  friend class ProfileLines;
  // Eight bytes a line. The offset reaches 1 TiB, far beyond any file held in memory; the
  // hash of the folded name lets a search pass over lines of other names without reading them.
  struct Mark {
    std::uint64_t start : 40;  // offset of the line's first byte
    std::uint64_t section : 1;
    std::uint64_t nameHash : 23;
  };

  // Marks the headers and entries; returns the first line end, empty when there is none.
  std::string_view Index();
  ProfileLine LineAt(std::size_t index) const;
  std::size_t Start(std::size_t index) const noexcept { return marks_[index].start; }
  // Whether the line at `index` is a header (or an entry) of that trimmed name.
  bool Named(std::size_t index, bool section, std::string_view name, std::uint32_t hash) const;
  // The bytes of the line starting at `offset`, without its line end.
  std::string_view TextFrom(std::size_t offset) const;
  // One past the last indexed line of the section whose header is at `header`.
  std::size_t SectionEnd(std::size_t header) const;
  // Offset of the first byte after the section: the next header, or the end of the bytes.
  std::size_t SectionEndOffset(std::size_t header) const;
  // Offset just past the end of the line holding `offset`, line end included.
  std::size_t LineAfter(std::size_t offset) const;
  // Replaces bytes [from, to), or removes the given ranges (in file order), and indexes the
  // result anew.
  void Splice(std::size_t from, std::size_t to, std::string_view with);
  void Erase(const std::vector<std::pair<std::size_t, std::size_t>>& ranges);
  void Put(std::string_view section, std::string_view key, std::string_view value);

  std::string bytes_;  // the file's bytes, or the text of a UTF-16 file in UTF-8
  std::optional<ByteOrder> utf16_;
  std::string oddByte_;  // the last byte of a UTF-16 file of an odd length, kept as it was
  std::deque<Mark> marks_;  // grows without copying: a large file needs no second array
  std::string_view lineEnd_ = "\r\n";
};

// Removes one pair of matching quotes (" or ') around a value.
std::string_view Unquoted(std::string_view value);
// ASCII-only case folding, as profile names compare.
bool SameName(std::string_view a, std::string_view b) noexcept;

}  // namespace vrk_posix
