#include "framework/text.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

#include "framework/exceptions.h"

namespace vrk {

namespace {
const char kEmptyBytes[1] = {0};
}

Text::Block* Text::Allocate(std::size_t capacity) {
  // A size near the top of the address space would wrap the sum below.
  if (capacity > std::numeric_limits<std::size_t>::max() - sizeof(Block) - 1) throw std::bad_alloc();
  void* memory = std::malloc(sizeof(Block) + capacity + 1);
  if (memory == nullptr) throw std::bad_alloc();
  Block* block = static_cast<Block*>(memory);
  block->references = 1;
  block->length = 0;
  block->capacity = capacity;
  block->data = reinterpret_cast<char*>(block + 1);
  block->storage = nullptr;
  block->bytes()[0] = 0;
  return block;
}

Text Text::OverStorage(std::unique_ptr<TextStorage> storage, const char* bytes,
                       std::size_t length, std::size_t capacity) {
  Block* block = static_cast<Block*>(std::malloc(sizeof(Block)));
  if (block == nullptr) throw std::bad_alloc();
  block->references = 1;
  block->length = length;
  block->capacity = capacity;
  // Never written through: every change copies the bytes first.
  block->data = const_cast<char*>(bytes);
  block->storage = nullptr;
  Text text;
  text.block_ = block;
  // Registered before the storage is given up, so that a failure frees it.
  storage->views_.push_back(block);
  block->storage = storage.release();
  return text;
}

void Text::StorageChanged(const char* bytes, std::size_t length, std::size_t capacity) noexcept {
  if (!block_ || !block_->storage) return;
  for (void* view : block_->storage->views_) static_cast<Block*>(view)->data = const_cast<char*>(bytes);
  block_->length = length;
  block_->capacity = capacity;
}

void Text::ForgetStorage(TextStorage& storage) noexcept {
  for (void* view : storage.views_) {
    Block* block = static_cast<Block*>(view);
    block->data = const_cast<char*>(kEmptyBytes);
    block->length = 0;
    block->capacity = 0;
  }
  storage.zeroFree = 0;
  storage.zeroFollows = false;
}

Text Text::Left(std::size_t length) const {
  if (length >= Length()) return *this;
  if (length == 0) return Text();
  if (!Storage()) return Text(c_str(), length);
  // A cut at the storage's known first zero shares it without bringing the bytes in.
  const bool zeroKnown = Storage()->zeroFollows && Storage()->zeroFree == length;
  if (!zeroKnown && c_str()[length] != 0) return Text(c_str(), length);
  Block* block = static_cast<Block*>(std::malloc(sizeof(Block)));
  if (block == nullptr) throw std::bad_alloc();
  *block = *block_;
  block->references = 1;
  block->length = length;
  block->capacity = length;
  try {
    block_->storage->views_.push_back(block);
  } catch (...) {
    std::free(block);
    throw;
  }
  Text text;
  text.block_ = block;
  return text;
}

std::size_t Text::LengthBeforeZero() const {
  const std::size_t length = Length();
  std::size_t known = Storage() ? Storage()->zeroFree : 0;
  if (known >= length) return length;
  if (Storage() != nullptr && Storage()->zeroFollows) return known;
  const void* zero = std::memchr(c_str() + known, 0, length - known);
  return zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - c_str()) : length;
}

Text::Text(const char* zeroTerminated)
    : Text(zeroTerminated, zeroTerminated ? std::strlen(zeroTerminated) : 0) {}

Text::Text(std::string_view bytes) : Text(bytes.data(), bytes.size()) {}

Text::Text(const char* data, std::size_t length) {
  if (length == 0) return;
  block_ = Allocate(length);
  std::memcpy(block_->bytes(), data, length);
  block_->length = length;
  block_->bytes()[length] = 0;
}

Text::Text(std::size_t count, char fill) {
  if (count == 0) return;
  block_ = Allocate(count);
  std::memset(block_->bytes(), fill, count);
  block_->length = count;
  block_->bytes()[count] = 0;
}

Text::Text(const Text& other) noexcept : block_(other.block_) {
  if (block_) ++block_->references;
}

Text::Text(Text&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }

Text& Text::operator=(const Text& other) noexcept {
  if (other.block_) ++other.block_->references;
  Release();
  block_ = other.block_;
  return *this;
}

Text& Text::operator=(Text&& other) noexcept {
  if (this != &other) {
    Release();
    block_ = other.block_;
    other.block_ = nullptr;
  }
  return *this;
}

Text::~Text() { Release(); }

void Text::Release() noexcept {
  if (block_ && --block_->references == 0) {
    if (TextStorage* storage = block_->storage) {
      std::erase(storage->views_, static_cast<void*>(block_));
      if (storage->views_.empty()) delete storage;
    }
    std::free(block_);
  }
  block_ = nullptr;
}

void Text::Clear() noexcept { Release(); }

const char* Text::c_str() const {
  if (!block_) return kEmptyBytes;
  if (block_->data == nullptr) {
    const char* bytes = block_->storage->Map();
    for (void* view : block_->storage->views_) static_cast<Block*>(view)->data = const_cast<char*>(bytes);
  }
  return block_->data;
}

char Text::operator[](long position) const {
  if (position < 1 || static_cast<std::size_t>(position) > Length()) throw ERangeError();
  return c_str()[position - 1];
}

void Text::SetAt(long position, char value) {
  if (position < 1 || static_cast<std::size_t>(position) > Length()) throw ERangeError();
  UniqueData()[position - 1] = value;
}

void Text::MakeUnique(std::size_t capacity) {
  if (WritableInPlace()) {
    if (block_->capacity >= capacity) return;
    // An unshared block grows in place where it can: large blocks are then moved by the
    // page table instead of copied, and capacity not yet written to takes no memory.
    if (capacity > std::numeric_limits<std::size_t>::max() - sizeof(Block) - 1) {
      throw std::bad_alloc();
    }
    void* memory = std::realloc(block_, sizeof(Block) + capacity + 1);
    // On failure the old block stays valid and this text keeps it.
    if (memory == nullptr) throw std::bad_alloc();
    block_ = static_cast<Block*>(memory);
    block_->capacity = capacity;
    block_->data = reinterpret_cast<char*>(block_ + 1);
    return;
  }
  std::size_t length = Length();
  const char* bytes = c_str();
  Block* fresh = Allocate(capacity < length ? length : capacity);
  if (length) std::memcpy(fresh->bytes(), bytes, length);
  fresh->length = length;
  fresh->bytes()[length] = 0;
  Release();
  block_ = fresh;
}

char* Text::UniqueData() {
  if (!block_) return const_cast<char*>(kEmptyBytes);
  MakeUnique(block_->capacity);
  return block_->bytes();
}

void Text::Reserve(std::size_t capacity) {
  if (capacity > Capacity() || (block_ && !WritableInPlace())) {
    MakeUnique(capacity > Length() ? capacity : Length());
  }
}

std::size_t Text::GrownCapacity(std::size_t needed) const noexcept {
  std::size_t capacity = Capacity();
  std::size_t grown = capacity + capacity / 2;
  if (grown < capacity) grown = capacity;  // wrapped: settle for what is needed
  return needed > grown ? needed : grown;
}

void Text::SetLength(std::size_t length) {
  if (length == Length()) return;
  if (length == 0) {
    Release();
    return;
  }
  std::size_t old = Length();
  MakeUnique(length > Capacity() ? GrownCapacity(length) : Capacity());
  if (length > old) std::memset(block_->bytes() + old, 0, length - old);
  block_->length = length;
  block_->bytes()[length] = 0;
}

Text& Text::Append(const char* data, std::size_t length) {
  if (length == 0) return *this;
  std::size_t old = Length();
  if (length > std::numeric_limits<std::size_t>::max() - old) throw std::bad_alloc();
  std::size_t needed = old + length;
  // The appended bytes may be this text's own: find them again after growing.
  // std::less gives a total order even for pointers into different blocks.
  const char* own = block_ ? block_->bytes() : nullptr;
  bool aliased = own && !std::less<const char*>()(data, own) &&
                 !std::less<const char*>()(own + old, data);
  std::size_t offset = aliased ? static_cast<std::size_t>(data - own) : 0;
  if (needed > Capacity() || (block_ && !WritableInPlace())) {
    MakeUnique(needed > Capacity() ? GrownCapacity(needed) : Capacity());
  }
  if (aliased) data = block_->bytes() + offset;
  std::memmove(block_->bytes() + old, data, length);
  block_->length = needed;
  block_->bytes()[needed] = 0;
  return *this;
}

char* Text::AppendRoom(std::size_t room) {
  const std::size_t old = Length();
  if (room > std::numeric_limits<std::size_t>::max() - old) throw std::bad_alloc();
  const std::size_t needed = old + room;
  if (!block_ || needed > Capacity() || !WritableInPlace()) {
    MakeUnique(needed > Capacity() ? GrownCapacity(needed) : Capacity());
  }
  return block_->bytes() + old;
}

void Text::Appended(std::size_t length) noexcept {
  if (length == 0) return;
  block_->length += length;
  block_->bytes()[block_->length] = 0;
}

Text& Text::operator+=(const char* other) {
  return other ? Append(other, std::strlen(other)) : *this;
}

Text Text::Sub(long start, long count) const {
  long length = static_cast<long>(Length());
  if (start < 1) start = 1;
  if (start > length || count < 1) return Text();
  if (count > length - start + 1) count = length - start + 1;
  if (start == 1 && count == length) return *this;
  return Text(c_str() + start - 1, static_cast<std::size_t>(count));
}

std::size_t Text::Pos(std::string_view needle) const {
  if (needle.empty()) return 0;
  std::size_t found = View().find(needle);
  return found == std::string_view::npos ? 0 : found + 1;
}

Text operator+(const Text& a, const Text& b) {
  Text result;
  result.Reserve(a.Length() + b.Length());
  result += a;
  result += b;
  return result;
}

Text operator+(const Text& a, const char* b) { return a + Text(b); }
Text operator+(const char* a, const Text& b) { return Text(a) + b; }
Text operator+(const Text& a, char b) {
  Text result = a;
  result += b;
  return result;
}

Text Field(const Text& text, char delimiter, long n) {
  if (n < 1) return Text();
  std::string_view rest = text.View();
  for (long i = 1;; ++i) {
    std::size_t end = rest.find(delimiter);
    if (i == n) return Text(rest.substr(0, end));
    if (end == std::string_view::npos) return Text();
    rest.remove_prefix(end + 1);
  }
}

Text FormatText(std::string_view pattern, std::initializer_list<Text> arguments) {
  Text result;
  auto next = arguments.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
      if (next != arguments.end()) result += *next++;
      ++i;
    } else {
      result += pattern[i];
    }
  }
  return result;
}

}  // namespace vrk
