#include "platform/text_spool.h"

#include <cstring>
#include <new>

#include "base/ascii.h"
#include "framework/exceptions.h"

namespace vrk {

namespace {

// The bytes of a spooled text: a pending file bound for the text's file.
class SpoolStorage final : public TextStorage {
 public:
  SpoolStorage(std::unique_ptr<PendingFile> file, Text boundFor)
      : file(std::move(file)), boundFor(std::move(boundFor)) {}
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

void TextSpool::AppendInMemory(const char* data, std::size_t length) {
  // Doubling keeps the copies of regrowth to about the size of the data, and each
  // append costs its piece only.
  const std::size_t needed = target_.Length() + length;
  if (target_.Capacity() < needed) {
    target_.Reserve(needed > 2 * target_.Capacity() ? needed : 2 * target_.Capacity());
  }
  target_.Append(data, length);
}

void TextSpool::StartFile() {
  std::unique_ptr<PendingFile> file =
      PendingFile::Create(boundFor_.c_str(), PendingFile::Options{.readable = true});
  // No file to be had in that folder: the text stays in memory, as a small one does.
  if (!file) {
    memoryOnly_ = true;
    return;
  }
  const std::size_t old = target_.Length();
  if (old > 0 && !file->Append(target_.c_str(), old)) throw EWriteError("Stream write error");
  const char* bytes = file->Bytes();
  if (bytes == nullptr) throw std::bad_alloc();
  auto storage = std::make_unique<SpoolStorage>(std::move(file), boundFor_);
  storage->zeroFree = target_.LengthBeforeZero();
  target_ = Text::OverStorage(std::move(storage), bytes, old, old);
  storage_ = target_.Storage();
}

void TextSpool::Append(const char* data, std::size_t length) {
  if (length == 0) return;
  if (storage_ != nullptr && !Spooling()) {
    // Somebody else holds or replaced the spooled text: appending copies it anyway.
    storage_ = nullptr;
    memoryOnly_ = true;
  }
  const std::size_t old = target_.Length();
  if (storage_ == nullptr && !memoryOnly_ && old + length > kMemoryLimit) StartFile();
  if (storage_ == nullptr) {
    AppendInMemory(data, length);
    return;
  }
  auto* spool = static_cast<SpoolStorage*>(storage_);
  const char* bytes = spool->file->Append(data, length) ? spool->file->Bytes() : nullptr;
  if (bytes == nullptr) {
    // What the file holds is no longer the text: nobody reads it again.
    const bool refused = spool->file->Length() != old + length;
    Text::ForgetStorage(*spool);
    storage_ = nullptr;
    memoryOnly_ = true;
    if (refused) throw EWriteError("Stream write error");
    throw std::bad_alloc();
  }
  if (spool->zeroFree == old && std::memchr(data, 0, length) == nullptr) {
    spool->zeroFree = old + length;
  }
  target_.StorageChanged(bytes, old + length, old + length);
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
