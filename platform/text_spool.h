// A text that arrives in pieces, gathered for the file it is bound for.
// A large text waits in a pending file in that file's folder and is read from there through
// a mapping: it costs no memory of its own, and delivering it to the file is naming that
// file instead of writing every byte again.
#pragma once

#include <cstddef>
#include <memory>

#include "framework/text.h"
#include "platform/pending_file.h"

namespace vrk {

class TextSpool {
 public:
  // Texts up to this size stay in memory.
  static constexpr std::size_t kMemoryLimit = 1 << 20;

  // Gathers into `target`, which is emptied. An empty `boundFor` keeps the text in memory.
  TextSpool(Text& target, const Text& boundFor);

  // The most one piece takes.
  static constexpr std::size_t kPiece = 1 << 20;

  // Where the next piece is to be received, and in `size` how much fits there (at most
  // kPiece): the free end of a text in memory, so that its bytes are never copied again, or
  // a buffer of the spool's on their way to the file.
  char* Room(std::size_t& size);
  // The first `length` bytes at Room() join the target. A spooled text whose file refuses
  // them (a full disk, a size limit) is dropped and EWriteError "Stream write error" raised.
  void Take(std::size_t length);
  // Appends to the target, as Text::Append would, through Room and Take.
  void Append(const char* data, std::size_t length);

 private:
  bool Spooling() const noexcept;
  void StartFile();

  Text& target_;
  Text boundFor_;
  TextStorage* storage_ = nullptr;  // the target's, while it is spooled
  std::unique_ptr<char[]> piece_;   // a spooled text's next piece
  bool memoryOnly_ = false;
};

// True for a spooled text (or its start, cut at a zero byte) gathered for the file `name`
// and not yet delivered.
bool WaitsForItsFile(const Text& text, const Text& name);

// The file a spooled text (or its start, cut at a zero byte) waits in, when it was gathered
// for the file `name`; null for any other text. The caller gives the file its name. Every
// text over the spool reads as empty afterwards, so the length is to be taken first.
std::unique_ptr<PendingFile> TakeSpooledFile(const Text& text, const Text& name);

}  // namespace vrk
