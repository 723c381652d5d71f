// Text: a counted byte string shared by reference with copy on write.
// Positions count from 1; zero bytes may stand anywhere. A copy shares the
// bytes until one side changes. Texts are not shared between threads.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace vrk {

class Text;

// Bytes a text reads from outside its own memory, such as a file mapped into memory.
// Their keeper writes them; a text never does: it copies them into memory of its own
// before any change. They need not be in memory until somebody reads them: a text that is
// only counted, cut at a known zero or handed on whole never maps them.
class TextStorage {
 public:
  virtual ~TextStorage() = default;
  // The bytes in use and a zero byte after them, brought into memory for a text whose keeper
  // left them out (see StorageChanged); std::bad_alloc when they cannot be.
  virtual const char* Map() { throw std::bad_alloc(); }
  // Leading bytes known to hold no zero byte, so that nobody reads them again to find one.
  std::size_t zeroFree = 0;
  // The byte right after those is known to be a zero.
  bool zeroFollows = false;

 private:
  friend class Text;
  std::vector<void*> views_;  // the blocks of the texts that read these bytes
};

class Text {
 public:
  Text() noexcept = default;
  Text(const char* zeroTerminated);  // NOLINT: texts are made from literals everywhere
  Text(const char* data, std::size_t length);
  Text(std::string_view bytes);  // NOLINT
  Text(std::size_t count, char fill);
  Text(const Text& other) noexcept;
  Text(Text&& other) noexcept;
  Text& operator=(const Text& other) noexcept;
  Text& operator=(Text&& other) noexcept;
  ~Text();

  std::size_t Length() const noexcept { return block_ ? block_->length : 0; }
  bool IsEmpty() const noexcept { return Length() == 0; }

  // Character at position 1..Length(); anything else raises ERangeError.
  char operator[](long position) const;
  void SetAt(long position, char value);

  // Bytes, always followed by a zero byte that is not part of the text. A text over outside
  // storage may have to map them first, and raises std::bad_alloc when that fails.
  const char* c_str() const;
  std::string_view View() const { return {c_str(), Length()}; }
  std::string ToStdString() const { return std::string(View()); }

  // Makes the bytes this text's own and returns them for writing.
  char* UniqueData();
  // Length changes keep the bytes before the new end; new bytes are zero.
  // Growing past the capacity grows it geometrically, so piecewise growth stays linear.
  void SetLength(std::size_t length);
  void Reserve(std::size_t capacity);
  std::size_t Capacity() const noexcept { return block_ ? block_->capacity : 0; }
  void Clear() noexcept;

  Text& Append(const char* data, std::size_t length);
  // Appending without a copy: the free bytes after the text (at least `room` of them, the
  // capacity grown geometrically when short) to be written by the caller, then Appended
  // with how many were written. Nothing else may change the text in between.
  char* AppendRoom(std::size_t room);
  void Appended(std::size_t length) noexcept;
  Text& operator+=(const Text& other) { return Append(other.c_str(), other.Length()); }
  Text& operator+=(const char* other);
  Text& operator+=(char c) { return Append(&c, 1); }

  // Substring from a 1-based start: a start below 1 counts as 1, a start past the
  // end or a count below 1 gives the empty text, the count is cut at the end.
  Text Sub(long start, long count) const;
  // 1-based position of the first occurrence of needle, 0 when absent or empty.
  std::size_t Pos(std::string_view needle) const;

  // Bytes before the first zero byte: the whole length when there is none.
  std::size_t LengthBeforeZero() const;

  // A text over outside bytes: `length` of them in use, room for `capacity`, and the byte
  // after the last one in use readable and zero; or null bytes, mapped when first read.
  static Text OverStorage(std::unique_ptr<TextStorage> storage, const char* bytes,
                          std::size_t length, std::size_t capacity);
  // The outside storage this text reads, or null.
  TextStorage* Storage() const noexcept { return block_ ? block_->storage : nullptr; }
  // For the keeper of the storage, after it wrote or moved the bytes: this text gets the new
  // length, and every text over the storage reads from `bytes`; null leaves them to be
  // mapped when first read.
  void StorageChanged(const char* bytes, std::size_t length, std::size_t capacity) noexcept;
  // For the keeper whose bytes go away: every text over them reads as empty from then on.
  static void ForgetStorage(TextStorage& storage) noexcept;

  // The first `length` bytes (all of them when the text is shorter). A text over outside
  // storage whose byte after them reads zero shares that storage instead of copying.
  Text Left(std::size_t length) const;
  // True when no other text shares this one's bytes.
  bool IsUnshared() const noexcept { return block_ != nullptr && block_->references == 1; }

  // True when both texts share one copy of their bytes.
  bool SharesBytesWith(const Text& other) const noexcept {
    return block_ != nullptr && block_ == other.block_;
  }

  friend bool operator==(const Text& a, const Text& b) { return a.View() == b.View(); }
  friend bool operator==(const Text& a, const char* b) {
    return a.View() == std::string_view(b ? b : "");
  }
  friend bool operator<(const Text& a, const Text& b) { return a.View() < b.View(); }

 private:
  struct Block {
    std::size_t references;
    std::size_t length;
    std::size_t capacity;
    char* data;               // right after this header, or in the storage (null: not mapped)
    TextStorage* storage;     // null: the bytes are this block's own
    char* bytes() noexcept { return data; }
  };

  static Block* Allocate(std::size_t capacity);
  bool WritableInPlace() const noexcept {
    return block_ != nullptr && block_->references == 1 && block_->storage == nullptr;
  }
  void Release() noexcept;
  void MakeUnique(std::size_t capacity);
  // Capacity for at least `needed` bytes, half as much again as now at the least.
  std::size_t GrownCapacity(std::size_t needed) const noexcept;

  Block* block_ = nullptr;
};

Text operator+(const Text& a, const Text& b);
Text operator+(const Text& a, const char* b);
Text operator+(const char* a, const Text& b);
Text operator+(const Text& a, char b);

// Field N of delimited text: field 1 is everything before the first delimiter;
// N below 1, N past the last field and the empty text give the empty text.
Text Field(const Text& text, char delimiter, long n);

// Replaces each "%s" of the pattern by the next argument, in order.
Text FormatText(std::string_view pattern, std::initializer_list<Text> arguments);

}  // namespace vrk
