#include "platform/text_spool.h"

#include <cstring>
#include <limits>
#include <new>

#include "base/ascii.h"
#include "framework/exceptions.h"

namespace vrk {

namespace {

// The bytes of a spooled text: a pending file bound for the text's file. They are mapped
// only when read, which a text handed on to its file never is: a 32-bit process could not
// map one of some gigabytes, and a view per piece would cost a mapping per piece.
class SpoolStorage final : public TextStorage {
 public:
  SpoolStorage(std::unique_ptr<PendingFile> file, Text boundFor)
      : file(std::move(file)), boundFor(std::move(boundFor)) {}
  const char* Map() override {
    const char* bytes = file ? file->Bytes() : nullptr;
    if (bytes == nullptr) throw std::bad_alloc();
    return bytes;
  }
  // Keeps the first zero known as the pieces arrive, so that the cut there reads nothing.
  void Added(const char* data, std::size_t length, std::size_t old) noexcept {
    if (zeroFollows || zeroFree != old) return;
    const void* zero = std::memchr(data, 0, length);
    zeroFree = zero ? old + static_cast<std::size_t>(static_cast<const char*>(zero) - data) : old + length;
    zeroFollows = zero != nullptr;
  }
  std::unique_ptr<PendingFile> file;
  const Text boundFor;
};

}  // namespace

TextSpool::TextSpool(Text& target, const Text& boundFor)
    : target_(target),
      boundFor_(boundFor),
      memoryOnly_(boundFor.IsEmpty() || ascii::HasZeroByte(boundFor.View())) {
  target_ = Text();
}

bool TextSpool::Spooling() const noexcept {
  return storage_ != nullptr && target_.Storage() == storage_ && target_.IsUnshared();
}

void TextSpool::StartFile() {
  std::unique_ptr<PendingFile> file =
      PendingFile::Create(boundFor_.c_str(), PendingFile::Options{.readable = true});
  // No file to be had in that folder: the text stays in memory, as a small one does.
  if (!file) {
    memoryOnly_ = true;
    return;
  }
  piece_ = std::make_unique<char[]>(kPiece);
  const std::size_t old = target_.Length();
  if (old > 0 && !file->Append(target_.c_str(), old)) throw EWriteError("Stream write error");
  auto storage = std::make_unique<SpoolStorage>(std::move(file), boundFor_);
  storage->Added(target_.c_str(), old, 0);
  target_ = Text::OverStorage(std::move(storage), nullptr, old, old);
  storage_ = target_.Storage();
}

char* TextSpool::Room(std::size_t& size) {
  if (storage_ != nullptr && !Spooling()) {
    // Somebody else holds or replaced the spooled text: appending copies it anyway.
    storage_ = nullptr;
    memoryOnly_ = true;
  }
  if (storage_ != nullptr) {
    size = kPiece;
    return piece_.get();
  }
  // A small text asks for little: the room not written to costs no memory, but a large
  // block costs its mapping. The capacity grows geometrically, so the copies of regrowth
  // stay about the size of the data.
  const std::size_t length = target_.Length();
  const std::size_t wanted = length < kPiece / 16 ? std::size_t{64} << 10 : kPiece;
  char* room = target_.AppendRoom(wanted);
  const std::size_t free = target_.Capacity() - length;
  size = free < kPiece ? free : kPiece;
  return room;
}

void TextSpool::Take(std::size_t length) {
  if (length == 0) return;
  const std::size_t old = target_.Length();
  if (storage_ == nullptr) {
    target_.Appended(length);
    if (!memoryOnly_ && old + length > kMemoryLimit) StartFile();
    return;
  }
  auto* spool = static_cast<SpoolStorage*>(storage_);
  // A 32-bit build counts a text up to 4 GiB, on disk as in memory.
  if (length > std::numeric_limits<std::size_t>::max() - old) throw std::bad_alloc();
  if (!spool->file->Append(piece_.get(), length)) {
    // What the file holds is no longer the text: nobody reads it again.
    Text::ForgetStorage(*spool);
    storage_ = nullptr;
    memoryOnly_ = true;
    throw EWriteError("Stream write error");
  }
  spool->Added(piece_.get(), length, old);
  target_.StorageChanged(nullptr, old + length, old + length);
}

void TextSpool::Append(const char* data, std::size_t length) {
  while (length > 0) {
    std::size_t size = 0;
    char* room = Room(size);
    const std::size_t piece = length < size ? length : size;
    std::memcpy(room, data, piece);
    Take(piece);
    data += piece;
    length -= piece;
  }
}

bool WaitsForItsFile(const Text& text, const Text& name) {
  auto* spool = dynamic_cast<SpoolStorage*>(text.Storage());
  return spool != nullptr && spool->file && name == spool->boundFor && !text.IsEmpty();
}

std::unique_ptr<PendingFile> TakeSpooledFile(const Text& text, const Text& name) {
  if (!WaitsForItsFile(text, name)) return nullptr;
  auto* spool = static_cast<SpoolStorage*>(text.Storage());
  std::unique_ptr<PendingFile> file = std::move(spool->file);
  // The mapping goes with the naming: nothing may read through it from here on.
  Text::ForgetStorage(*spool);
  return file;
}

}  // namespace vrk
