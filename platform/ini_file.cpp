#include "platform/ini_file.h"

#include <string>

#include "base/ascii.h"
#include "framework/exceptions.h"
#include "platform/profile_values.h"
#include "platform/text_rules.h"
#include "platform/winapi.h"

namespace vrk {

namespace {

constexpr DWORD kReadBufferSize = 2048;

// A profile line cannot hold a line break, and a key cannot hold "="; written anyway,
// they would plant other keys or sections in the file.
bool HasLineBreak(const Text& text) {
  return text.View().find_first_of("\r\n") != std::string_view::npos;
}

// A key read back as a comment, a section header or no key at all names another setting.
bool ReadsBackAsKey(const Text& key) {
  const std::string_view name = ascii::TrimBlanks(key.View());
  return !name.empty() && name.front() != ';' && name.front() != '[' &&
         name.find('=') == std::string_view::npos;
}

bool FitsOneLine(const Text& section, const Text& key, const Text& value) {
  return !HasLineBreak(section) && !HasLineBreak(key) && !HasLineBreak(value) &&
         section.View().find(']') == std::string_view::npos && ReadsBackAsKey(key);
}

// What the profile calls could not write faithfully is refused before they are called, on
// both builds alike: the calls themselves write whatever they are given. They take
// zero-terminated texts, so a zero byte would make another, shorter name or value.
bool Writable(const Text& section, const Text& key, const Text& value) {
  return !ascii::HasZeroByte(section.View()) && !ascii::HasZeroByte(key.View()) &&
         !ascii::HasZeroByte(value.View()) && FitsOneLine(section, key, value);
}

}  // namespace

TIniFile::TIniFile(Text fileName) : fileName_(std::move(fileName)) {}

TIniFile::~TIniFile() { UpdateFile(); }

Text TIniFile::ReadString(const Text& section, const Text& key, const Text& fallback) const {
  char buffer[kReadBufferSize];
  const DWORD count = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(),
                                               buffer, kReadBufferSize, fileName_.c_str());
  return Text(buffer, count < kReadBufferSize ? count : kReadBufferSize - 1);
}

int TIniFile::ReadInteger(const Text& section, const Text& key, int fallback) const {
  return StrToIntDef(ReadString(section, key, ""), fallback);
}

void TIniFile::WriteString(const Text& section, const Text& key, const Text& value) {
  if (ascii::HasZeroByte(fileName_.View()) || !Writable(section, key, value) ||
      !WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), fileName_.c_str())) {
    RaiseUnwritable();
  }
}

void TIniFile::WriteStrings(const Text& section, const std::vector<IniValue>& values) {
  std::vector<ProfileValue> entries;
  for (const IniValue& entry : values) {
    if (!Writable(section, entry.key, entry.value)) RaiseUnwritable();
    entries.push_back(ProfileValue{entry.key.c_str(), entry.value.c_str()});
  }
  if (ascii::HasZeroByte(fileName_.View()) || !WriteProfileValues(section.c_str(), entries, fileName_.c_str())) {
    RaiseUnwritable();
  }
}

void TIniFile::WriteInteger(const Text& section, const Text& key, int value) {
  WriteString(section, key, Text(std::to_string(value)));
}

void TIniFile::RaiseUnwritable() const { RaiseUnwritable(fileName_); }

void TIniFile::RaiseUnwritable(const Text& fileName) {
  throw EIniFileException(FormatText("Unable to write to %s", {fileName}));
}

void TIniFile::UpdateFile() {
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName_.c_str());
}

}  // namespace vrk
