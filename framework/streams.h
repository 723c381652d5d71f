// Byte streams: a sequence of bytes with a position and a size. Positions and
// sizes are 64-bit so that files past 2 GiB work on every build.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/component.h"
#include "framework/text.h"

namespace vrk {

enum class TSeekOrigin { Beginning, Current, End };

class TStream : public TObject {
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Reads or writes up to `count` bytes at the position, moves past them and
  // returns how many moved; a count of 0 or less moves nothing.
  virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
  virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
  // Returns the new position. A position may stand past the end (a later write
  // fills the gap with zero bytes) but not before the start: EStreamError.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::Current); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::Beginning); }
  virtual std::int64_t Size();

  // All or nothing: EReadError "Stream read error" / EWriteError "Stream write error".
  void ReadBuffer(void* buffer, std::int32_t count);
  void WriteBuffer(const void* buffer, std::int32_t count);

  // Copies `count` bytes from the source's position; 0 copies the whole source
  // from its start. Returns the number of bytes copied.
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;

  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }

  // Bytes past the old end are zero; the position is left where it stands.
  void SetSize(std::int64_t size);
  char* Memory() noexcept { return bytes_.data(); }
  const char* Memory() const noexcept { return bytes_.data(); }
  // Size and position 0, memory released.
  void Clear() noexcept;

  // Replaces the content by the whole of `source`; the position is then 0.
  void LoadFromStream(TStream& source);
  void SaveToStream(TStream& destination) const;
  void LoadFromFile(const Text& fileName);
  void SaveToFile(const Text& fileName) const;

 private:
  std::vector<char> bytes_;
  std::int64_t position_ = 0;
};

enum class TFileMode {
  Create,         // created, or emptied when it exists; read and write
  OpenRead,       // existing file, read only
  OpenWrite,      // existing file, kept, written from the start
  OpenReadWrite,  // existing file, kept
};

class TFileStream : public TStream {
 public:
  // Raises EFileCreateError "Cannot create file NAME" or EFileOpenError
  // "Cannot open file NAME" with the name as given.
  TFileStream(const Text& fileName, TFileMode mode);
  // Closes the file.
  ~TFileStream() override;

  std::int32_t Read(void* buffer, std::int32_t count) override;
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;

  // Nothing is buffered here: each write reaches the system at once, and a refused one
  // shows in Write's count. Kept for the callers that end a file with it.
  void Flush() {}
  const Text& FileName() const noexcept { return fileName_; }

 private:
  void* handle_ = nullptr;  // the system's file handle
  Text fileName_;
};

}  // namespace vrk
