// TFileStream over the C library's files, in binary mode with 64-bit offsets.
#ifndef _WIN32
#ifndef _FILE_OFFSET_BITS
#define _FILE_OFFSET_BITS 64  // 64-bit offsets on 32-bit POSIX builds too
#endif
#endif

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/ascii.h"
#include "framework/exceptions.h"
#include "framework/streams.h"

namespace vrk {

namespace {

int Whence(TSeekOrigin origin) noexcept {
  switch (origin) {
    case TSeekOrigin::Beginning: return SEEK_SET;
    case TSeekOrigin::Current: return SEEK_CUR;
    case TSeekOrigin::End: return SEEK_END;
  }
  return SEEK_SET;
}

bool SeekTo(std::FILE* file, std::int64_t offset, int whence) noexcept {
#ifdef _WIN32
  return _fseeki64(file, offset, whence) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), whence) == 0;
#endif
}

std::int64_t Tell(std::FILE* file) noexcept {
#ifdef _WIN32
  return _ftelli64(file);
#else
  return static_cast<std::int64_t>(ftello(file));
#endif
}

const char* OpenMode(TFileMode mode) noexcept {
  switch (mode) {
    case TFileMode::Create: return "w+b";
    case TFileMode::OpenRead: return "rb";
    case TFileMode::OpenWrite:
    case TFileMode::OpenReadWrite: return "r+b";
  }
  return "rb";
}

// The name the C library gets. Windows takes "\" itself; elsewhere it becomes "/".
std::string SystemName(const Text& fileName) {
  std::string name = fileName.ToStdString();
#ifndef _WIN32
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
#endif
  return name;
}

[[noreturn]] void RaiseOpenFailure(const Text& fileName, TFileMode mode) {
  if (mode == TFileMode::Create) throw EFileCreateError(FormatText("Cannot create file %s", {fileName}));
  throw EFileOpenError(FormatText("Cannot open file %s", {fileName}));
}

}  // namespace

TFileStream::TFileStream(const Text& fileName, TFileMode mode) : fileName_(fileName) {
  // A zero byte would cut the name short and reach another file.
  if (fileName.IsEmpty() || ascii::HasZeroByte(fileName.View())) {
    RaiseOpenFailure(fileName, mode);
  }
  std::string name = SystemName(fileName);
#ifndef _WIN32
  // The C library here opens a folder for reading without complaint.
  std::error_code ignored;
  if (std::filesystem::is_directory(name, ignored)) RaiseOpenFailure(fileName, mode);
#endif
  file_ = std::fopen(name.c_str(), OpenMode(mode));
  if (file_ == nullptr) RaiseOpenFailure(fileName, mode);
}

TFileStream::~TFileStream() {
  if (file_) std::fclose(file_);
}

void TFileStream::SwitchTo(LastAccess access) {
  if (last_ != LastAccess::None && last_ != access) {
    if (last_ == LastAccess::Writing) {
      std::fflush(file_);
    } else {
      SeekTo(file_, 0, SEEK_CUR);
    }
  }
  last_ = access;
}

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  SwitchTo(LastAccess::Reading);
  // The end-of-file mark sticks; clear it so that a grown file reads on.
  std::clearerr(file_);
  return static_cast<std::int32_t>(std::fread(buffer, 1, static_cast<std::size_t>(count), file_));
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  SwitchTo(LastAccess::Writing);
  return static_cast<std::int32_t>(std::fwrite(buffer, 1, static_cast<std::size_t>(count), file_));
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  // Asking where we stand needs no seek and keeps the read buffer.
  if (!(offset == 0 && origin == TSeekOrigin::Current)) {
    if (!SeekTo(file_, offset, Whence(origin))) throw EStreamError("Stream seek error");
    last_ = LastAccess::None;
  }
  std::int64_t position = Tell(file_);
  if (position < 0) throw EStreamError("Stream seek error");
  return position;
}

void TFileStream::Flush() {
  if (last_ == LastAccess::Writing && std::fflush(file_) != 0) throw EWriteError("Stream write error");
}

}  // namespace vrk
