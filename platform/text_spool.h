// A text that arrives in pieces, gathered for the file it is bound for.
// A large text waits in an unnamed file in that file's folder and is read from there
// through a mapping: it costs no memory of its own, and delivering it to the file is a
// link instead of a copy of every byte. Elsewhere, and on Windows, it stays in memory.
#pragma once

#include <cstddef>

#include "framework/text.h"

namespace vrk {

class TextSpool {
 public:
  // Texts up to this size stay in memory.
  static constexpr std::size_t kMemoryLimit = 1 << 20;

  // Gathers into `target`, which is emptied. An empty `boundFor` keeps the text in memory.
  TextSpool(Text& target, const Text& boundFor);

  // Appends to the target, as Text::Append would.
  void Append(const char* data, std::size_t length);

 private:
  bool Spooling() const noexcept;
  void AppendInMemory(const char* data, std::size_t length);

  Text& target_;
  Text boundFor_;
  TextStorage* storage_ = nullptr;  // the target's, while it is spooled
  bool memoryOnly_ = false;
};

// Gives a spooled text the name `name`, when no file has that name yet, the name lies in
// the spool's file system and the text was not linked before. False leaves nothing
// behind: the caller then writes the file itself.
bool LinkSpooledText(const Text& text, const Text& name);

}  // namespace vrk
