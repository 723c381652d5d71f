// The settings profile: an ini file read and written through the platform's profile calls.
#pragma once

#include <vector>

#include "framework/text.h"

namespace vrk {

struct IniValue {
  Text key;
  Text value;
};

class TIniFile {
 public:
  // No file access happens at opening.
  explicit TIniFile(Text fileName);
  ~TIniFile();
  TIniFile(const TIniFile&) = delete;
  TIniFile& operator=(const TIniFile&) = delete;

  const Text& FileName() const noexcept { return fileName_; }

  // At most 2047 characters; a missing file, section or key gives the default.
  Text ReadString(const Text& section, const Text& key, const Text& fallback) const;
  // Never fails: text that does not convert, the empty text included, gives the default.
  int ReadInteger(const Text& section, const Text& key, int fallback) const;
  // EIniFileException "Unable to write to %s" when the platform refuses.
  void WriteString(const Text& section, const Text& key, const Text& value);
  void WriteInteger(const Text& section, const Text& key, int value);
  // The keys of one section written as one change of the file: another run writing the same
  // keys at the same time never leaves some of its values beside some of these. Raises as
  // WriteString; nothing is written when any of the texts is refused.
  void WriteStrings(const Text& section, const std::vector<IniValue>& values);
  // Flushes the platform's cache; its result is not looked at.
  void UpdateFile();

  // EIniFileException "Unable to write to %s" for `fileName`.
  [[noreturn]] static void RaiseUnwritable(const Text& fileName);

 private:
  [[noreturn]] void RaiseUnwritable() const;

  Text fileName_;
};

}  // namespace vrk
