// The key tree of the emulated registry and the name rules it compares by.
#include <cstdint>

#include "base/ascii.h"
#include "platform/posix/kernel/utf16_text.h"
#include "platform/posix/registry/registry_file.h"

namespace vrk_posix {

std::string FoldedName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = vrk::ascii::Lower(c);
  return folded;
}

std::optional<std::string> FoldedKeyPath(std::string_view path) {
  while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (path.empty()) return std::string();
  if (path.front() == '\\') return std::nullopt;
  // Windows skips empty steps between names: backslashes in a row count as one.
  std::string folded;
  for (char c : path) {
    if (c != '\\' || folded.back() != '\\') folded += vrk::ascii::Lower(c);
  }
  return folded;
}

RegistryDocument::RegistryDocument() { keys_[""]; }

RegistryValues* RegistryDocument::AddKey(std::string_view path) {
  const std::optional<std::string> folded = FoldedKeyPath(path);
  if (!folded) return nullptr;
  for (std::size_t slash = folded->find('\\'); slash != std::string::npos;
       slash = folded->find('\\', slash + 1)) {
    keys_[folded->substr(0, slash)];
  }
  return &keys_[*folded];
}

void RegistryDocument::DeleteKey(std::string_view path) {
  const std::optional<std::string> folded = FoldedKeyPath(path);
  if (!folded || folded->empty()) return;
  keys_.erase(*folded);
  // Keys such as "a b" sort between "a" and "a\b", so the subtree starts at its own prefix.
  const std::string below = *folded + '\\';
  for (auto it = keys_.lower_bound(below);
       it != keys_.end() && it->first.compare(0, below.size(), below) == 0;) {
    it = keys_.erase(it);
  }
}

const RegistryValues* RegistryDocument::FindKey(std::string_view path) const {
  const std::optional<std::string> folded = FoldedKeyPath(path);
  if (!folded) return nullptr;
  const auto found = keys_.find(*folded);
  return found == keys_.end() ? nullptr : &found->second;
}

std::string DwordData(DWORD value) {
  std::string bytes(4, '\0');
  for (std::size_t i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

std::string Utf8FromUtf16(std::string_view littleEndian) {
  // A value is read as text, so a lone surrogate reads as U+FFFD.
  return WithoutLoneSurrogates(Utf8FromUtf16(littleEndian, ByteOrder::kLittleEndian));
}

}  // namespace vrk_posix
