#include "framework/streams.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <new>

#include "framework/exceptions.h"

namespace vrk {

namespace {

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();

// base + offset, or -1 when the sum leaves 0..max.
std::int64_t OffsetFrom(std::int64_t base, std::int64_t offset) noexcept {
  if (offset > 0 && base > kInt64Max - offset) return -1;
  std::int64_t result = base + offset;
  return result < 0 ? -1 : result;
}

// Memory streams live in the address space: refuse sizes it cannot hold rather
// than letting them wrap on 32-bit builds.
std::size_t MemorySize(std::int64_t size) {
  if (size < 0) throw EStreamError("Stream size error");
  if (static_cast<std::uint64_t>(size) > std::numeric_limits<std::size_t>::max() / 2) {
    throw std::bad_alloc();
  }
  return static_cast<std::size_t>(size);
}

}  // namespace

std::int64_t TStream::Size() {
  std::int64_t here = Position();
  std::int64_t end = Seek(0, TSeekOrigin::End);
  Seek(here, TSeekOrigin::Beginning);
  return end;
}

void TStream::ReadBuffer(void* buffer, std::int32_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (count < 0) return 0;
  constexpr std::int32_t kChunk = 64 * 1024;
  std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(count, kChunk)));
  std::int64_t left = count;
  while (left > 0) {
    std::int32_t chunk = static_cast<std::int32_t>(std::min<std::int64_t>(left, kChunk));
    source.ReadBuffer(buffer.data(), chunk);
    WriteBuffer(buffer.data(), chunk);
    left -= chunk;
  }
  return count;
}

std::int32_t TMemoryStream::Read(void* buffer, std::int32_t count) {
  std::int64_t size = Size();
  if (count <= 0 || position_ >= size) return 0;
  std::int32_t n = static_cast<std::int32_t>(std::min<std::int64_t>(count, size - position_));
  std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(n));
  position_ += n;
  return n;
}

std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  std::int64_t end = OffsetFrom(position_, count);
  if (end < 0) return 0;
  const char* from = static_cast<const char*>(buffer);
  if (end > Size()) {
    std::size_t needed = MemorySize(end);
    // The bytes may be the stream's own: find them again after the memory moves.
    const char* own = bytes_.data();
    bool aliased = own != nullptr && !std::less<const char*>()(from, own) &&
                   std::less<const char*>()(from, own + bytes_.size());
    std::size_t offset = aliased ? static_cast<std::size_t>(from - own) : 0;
    // Grow by half again at least, so that many small writes stay linear.
    if (needed > bytes_.capacity()) {
      bytes_.reserve(std::max(needed, bytes_.capacity() + bytes_.capacity() / 2));
    }
    bytes_.resize(needed);
    if (aliased) from = bytes_.data() + offset;
  }
  std::memmove(bytes_.data() + position_, from, static_cast<std::size_t>(count));
  position_ = end;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::Beginning ? 0
                      : origin == TSeekOrigin::Current ? position_
                                                       : Size();
  std::int64_t target = OffsetFrom(base, offset);
  if (target < 0) throw EStreamError("Stream seek error");
  position_ = target;
  return position_;
}

void TMemoryStream::SetSize(std::int64_t size) {
  bytes_.resize(MemorySize(size));
}

void TMemoryStream::Clear() noexcept {
  std::vector<char>().swap(bytes_);
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  std::int64_t size = source.Size();
  std::vector<char> fresh(MemorySize(size));
  char* at = fresh.data();
  for (std::int64_t left = size; left > 0;) {
    std::int32_t chunk =
        static_cast<std::int32_t>(std::min<std::int64_t>(left, std::numeric_limits<std::int32_t>::max()));
    source.ReadBuffer(at, chunk);
    at += chunk;
    left -= chunk;
  }
  bytes_.swap(fresh);
  position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& destination) const {
  const char* at = bytes_.data();
  for (std::size_t left = bytes_.size(); left > 0;) {
    std::size_t chunk = std::min<std::size_t>(left, std::numeric_limits<std::int32_t>::max());
    destination.WriteBuffer(at, static_cast<std::int32_t>(chunk));
    at += chunk;
    left -= chunk;
  }
}

void TMemoryStream::LoadFromFile(const Text& fileName) {
  TFileStream file(fileName, TFileMode::OpenRead);
  LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const Text& fileName) const {
  TFileStream file(fileName, TFileMode::Create);
  SaveToStream(file);
  file.Flush();
}

}  // namespace vrk
