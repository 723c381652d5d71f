// Profile (ini) files read and written as Windows does with files a user edits by hand.
// A file is read and parsed once, and again only when it has changed.
#include <cerrno>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/kernel/errno_map.h"
#include "platform/posix/kernel/parsed_files.h"
#include "platform/posix/kernel/paths.h"
#include "platform/posix/kernel/profile_document.h"
#include "platform/posix/kernel/whole_file.h"
#include "platform/posix/win32.h"
#include "platform/profile_values.h"

namespace {

using vrk_posix::ProfileDocument;

vrk_posix::ParsedFiles<ProfileDocument>& Profiles() {
  static vrk_posix::ParsedFiles<ProfileDocument> files(
      [](std::string&& bytes) { return ProfileDocument::Parse(std::move(bytes)); });
  return files;
}

// A file that is missing or cannot be read reads as an empty one.
std::shared_ptr<const ProfileDocument> Load(LPCSTR fileName) {
  std::shared_ptr<const ProfileDocument> document;
  if (Profiles().Get(vrk_posix::PosixPath(fileName), document) != vrk_posix::ReadOutcome::kRead) {
    static const auto empty = std::make_shared<const ProfileDocument>();
    document = empty;
  }
  return document;
}

// Copies at most size-1 bytes and a terminating zero; returns the count copied.
DWORD CopyText(std::string_view text, LPSTR buffer, DWORD size) {
  const std::size_t count = text.size() < size ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return static_cast<DWORD>(count);
}

// Zero-separated names ended by a second zero. A list that does not fit is cut,
// still ends in two zeros, and reports size-2.
DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
  std::string list;
  for (const std::string& name : names) {
    list += name;
    list += '\0';
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  if (list.empty()) {
    buffer[0] = buffer[1] = '\0';
    return 0;
  }
  if (list.size() + 1 <= size) {
    std::memcpy(buffer, list.data(), list.size());
    buffer[list.size()] = '\0';
    return static_cast<DWORD>(list.size());
  }
  std::memcpy(buffer, list.data(), size - 2);
  buffer[size - 2] = buffer[size - 1] = '\0';
  return size - 2;
}

// Only blanks go: Windows keeps a trailing tab of a default.
std::string_view WithoutTrailingBlanks(LPCSTR text) {
  std::string_view view = text ? text : "";
  while (!view.empty() && view.back() == ' ') view.remove_suffix(1);
  return view;
}

BOOL Refused() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

// Lets `edit` change the file as it is now and replaces the file once, when anything changed.
template <typename Edit>
BOOL Change(LPCSTR section, LPCSTR fileName, Edit edit) {
  if (section == nullptr || fileName == nullptr || *fileName == '\0') return Refused();
  const std::string path = vrk_posix::PosixPath(fileName);
  std::shared_ptr<const ProfileDocument> current;
  if (Profiles().Get(path, current) == vrk_posix::ReadOutcome::kFailed) {
    // A file we cannot read must not be replaced by one made of this write alone.
    vrk_posix::SetLastErrorFromErrno(errno);
    return FALSE;
  }
  ProfileDocument document = current ? *current : ProfileDocument();
  edit(document);
  const std::string_view before = current ? current->Text() : std::string_view();
  if (document.Text() == before) return TRUE;
  const bool replaced = vrk_posix::ReplaceWholeFile(path, document.Serialize());
  Profiles().Forget(path);
  return replaced ? TRUE : FALSE;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR fileName) {
  if (buffer == nullptr || size == 0) return 0;
  const std::shared_ptr<const ProfileDocument> loaded = Load(fileName);
  const ProfileDocument& document = *loaded;
  if (section == nullptr) return CopyList(document.SectionNames(), buffer, size);
  const std::optional<std::size_t> header = document.FindSection(section);
  if (key == nullptr) {
    // A section that is missing or lists no key gives the default instead.
    const std::vector<std::string> names = header ? document.KeyNames(*header) : std::vector<std::string>{};
    if (!names.empty()) return CopyList(names, buffer, size);
    return CopyText(WithoutTrailingBlanks(defaultValue), buffer, size);
  }
  if (header) {
    if (const std::optional<std::size_t> entry = document.FindKey(*header, key)) {
      const std::string value = document.Readable(document.Lines()[*entry].value);
      return CopyText(vrk_posix::Unquoted(value), buffer, size);
    }
  }
  return CopyText(WithoutTrailingBlanks(defaultValue), buffer, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
  char text[64];
  if (section == nullptr || key == nullptr) return static_cast<UINT>(defaultValue);
  if (GetPrivateProfileStringA(section, key, "", text, sizeof text, fileName) == 0) {
    return static_cast<UINT>(defaultValue);
  }
  // The leading decimal digits count; a value without any gives 0.
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  UINT value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<UINT>(*p - '0');
  return negative ? 0u - value : value;
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
  // Every write goes to the file at once, so a flush has nothing to do.
  if (section == nullptr && key == nullptr && value == nullptr) return TRUE;
  // Names and values are written as given, as Windows writes them; what would read back as
  // other lines is for the caller to refuse.
  return Change(section, fileName, [&](ProfileDocument& document) {
    if (key == nullptr) {
      document.DeleteSection(section);
    } else if (value == nullptr) {
      document.DeleteKey(section, key);
    } else {
      document.SetValue(section, key, value);
    }
  });
}

namespace vrk {

bool WriteProfileValues(const char* section, std::span<const ProfileValue> values,
                        const char* fileName) {
  for (const ProfileValue& entry : values) {
    if (entry.key == nullptr || entry.value == nullptr) return Refused();
  }
  return Change(section, fileName, [&](ProfileDocument& document) {
    for (const ProfileValue& entry : values) document.SetValue(section, entry.key, entry.value);
  });
}

}  // namespace vrk
