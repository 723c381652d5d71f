// Reading the registry editor's export format into the emulated registry.
#include <cstdlib>
#include <string>

#include "base/ascii.h"
#include "platform/posix/registry/registry_file.h"

namespace vrk_posix {

namespace {

constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view kVersion4Header = "REGEDIT4";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
constexpr std::string_view kRootShort = "HKCU";

constexpr std::string_view Trimmed(std::string_view text) noexcept { return vrk::ascii::TrimBlanks(text); }

// One to eight hexadecimal digits and nothing else.
std::optional<DWORD> HexNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  DWORD value = 0;
  for (char c : digits) {
    const int digit = vrk::ascii::HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    value = value << 4 | static_cast<DWORD>(digit);
  }
  return value;
}

// Comma-separated bytes of one or two digits; blanks around them and a final comma are allowed.
std::optional<std::string> HexBytes(std::string_view list) {
  std::string bytes;
  list = Trimmed(list);
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::optional<DWORD> byte = HexNumber(Trimmed(list.substr(0, comma)));
    if (!byte || *byte > 0xFF) return std::nullopt;
    bytes += static_cast<char>(*byte);
    if (comma == std::string_view::npos) break;
    list = Trimmed(list.substr(comma + 1));
  }
  return bytes;
}

// A quoted text at the start of `text` with \" and \\ unescaped; `text` is left after the
// closing quote. Any other backslash stands for itself.
std::optional<std::string> QuotedText(std::string_view& text) {
  if (text.empty() || text.front() != '"') return std::nullopt;
  std::string out;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      text.remove_prefix(i + 1);
      return out;
    }
    if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
      out += text[++i];
    } else {
      out += c;
    }
  }
  return std::nullopt;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  RegistryDocument Run() {
    if (!ReadHeader()) return std::move(document_);
    std::string_view line;
    while (NextLine(line)) {
      line = Trimmed(line);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        KeyLine(line);
      } else if (line.front() == '"' || line.front() == '@') {
        ValueLine(line);
      }
      // Anything else is not part of the format and is passed over.
    }
    return std::move(document_);
  }

 private:
  // The next line without its line end, read in place: a large file is never split up.
  bool NextLine(std::string_view& line) {
    if (next_ > text_.size()) return false;
    std::size_t end = text_.find('\n', next_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(next_, end - next_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    next_ = end + 1;
    return true;
  }

  bool ReadHeader() {
    std::string_view line;
    while (NextLine(line)) {
      line = Trimmed(line);
      if (line.empty()) continue;
      utf16Strings_ = line == kVersion5Header;
      return utf16Strings_ || line == kVersion4Header;
    }
    return false;
  }

  // "[HKEY_CURRENT_USER\path]" opens a key; "[-...]" deletes one. Values that follow a key
  // of another root or a malformed key line have no key to go to and are dropped.
  void KeyLine(std::string_view line) {
    current_ = nullptr;
    if (line.size() < 2 || line.back() != ']') return;
    std::string_view path = line.substr(1, line.size() - 2);
    const bool deletion = !path.empty() && path.front() == '-';
    if (deletion) path.remove_prefix(1);
    const std::optional<std::string_view> below = BelowRoot(path);
    if (!below) return;
    if (deletion) {
      document_.DeleteKey(*below);
    } else {
      current_ = document_.AddKey(*below);
    }
  }

  static std::optional<std::string_view> BelowRoot(std::string_view path) {
    for (std::string_view root : {kRoot, kRootShort}) {
      if (!vrk::ascii::StartsIgnoringCase(path, root)) continue;
      std::string_view rest = path.substr(root.size());
      if (rest.empty()) return rest;
      if (rest.front() == '\\') return rest.substr(1);
    }
    return std::nullopt;
  }

  void ValueLine(std::string_view line) {
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else {
      std::optional<std::string> quoted = QuotedText(line);
      if (!quoted) return;
      name = std::move(*quoted);
    }
    line = Trimmed(line);
    if (line.empty() || line.front() != '=') return;
    line = Trimmed(line.substr(1));

    std::optional<RegistryValue> value;
    if (line == "-") {
      if (current_) current_->erase(FoldedName(name));
      return;
    }
    if (!line.empty() && line.front() == '"') {
      value = TextValue(line);
    } else if (vrk::ascii::StartsIgnoringCase(line, "dword:")) {
      if (const std::optional<DWORD> number = HexNumber(line.substr(6))) {
        value = RegistryValue{REG_DWORD, DwordData(*number)};
      }
    } else if (vrk::ascii::StartsIgnoringCase(line, "hex")) {
      value = HexValue(line.substr(3));
    }
    if (value && current_) (*current_)[FoldedName(name)] = std::move(*value);
  }

  static std::optional<RegistryValue> TextValue(std::string_view line) {
    std::optional<std::string> text = QuotedText(line);
    if (!text || !Trimmed(line).empty()) return std::nullopt;
    return RegistryValue{REG_SZ, std::move(*text) + '\0'};
  }

  // After "hex": ":" for binary data or "(type):"; the byte list may go on over further
  // lines, each but the last ending in a backslash. Those lines are taken even when the
  // value turns out malformed, so that they are not read as lines of their own.
  std::optional<RegistryValue> HexValue(std::string_view rest) {
    std::optional<DWORD> type = REG_BINARY;
    if (!rest.empty() && rest.front() == '(') {
      const std::size_t close = rest.find(')');
      type = close == std::string_view::npos ? std::nullopt : HexNumber(rest.substr(1, close - 1));
      rest = close == std::string_view::npos ? std::string_view() : rest.substr(close + 1);
    }
    const bool colon = !rest.empty() && rest.front() == ':';
    std::string list(colon ? rest.substr(1) : rest);
    // Appended in place: a large value spans thousands of lines.
    for (std::string_view line;;) {
      const std::size_t last = list.find_last_not_of(" \t");
      if (last == std::string::npos || list[last] != '\\' || !NextLine(line)) break;
      list.resize(last);
      list += Trimmed(line);
    }
    if (!type || !colon) return std::nullopt;
    std::optional<std::string> bytes = HexBytes(list);
    if (!bytes) return std::nullopt;
    // Version 5 files hold the text types in UTF-16, which the ANSI calls hand out converted.
    const bool text = *type == REG_SZ || *type == REG_EXPAND_SZ || *type == REG_MULTI_SZ;
    if (text && utf16Strings_) *bytes = Utf8FromUtf16(*bytes);
    return RegistryValue{*type, std::move(*bytes)};
  }

  std::string_view text_;
  std::size_t next_ = 0;
  bool utf16Strings_ = false;
  RegistryDocument document_;
  RegistryValues* current_ = nullptr;
};

}  // namespace

RegistryDocument ParseRegistryFile(std::string_view bytes) {
  if (bytes.substr(0, kUtf16Mark.size()) == kUtf16Mark) {
    const std::string text = Utf8FromUtf16(bytes.substr(kUtf16Mark.size()));
    return Parser(text).Run();
  }
  if (bytes.substr(0, kUtf8Mark.size()) == kUtf8Mark) bytes.remove_prefix(kUtf8Mark.size());
  return Parser(bytes).Run();
}

std::string RegistryFilePath() {
  const char* explicitPath = std::getenv("VRK_REGISTRY");
  if (explicitPath != nullptr && *explicitPath != '\0') return explicitPath;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  // A relative folder is not a valid setting and is ignored, as the desktop's rules say.
  if (config != nullptr && *config == '/') return std::string(config) + "/vrk/registry.reg";
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.config/vrk/registry.reg";
  return std::string();
}

}  // namespace vrk_posix
