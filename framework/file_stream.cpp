// TFileStream over the system's file handles, with 64-bit positions. The system's name
// rules apply, so a name means the same file here as in every other call.
#include "base/ascii.h"
#include "framework/exceptions.h"
#include "framework/streams.h"
#include "platform/winapi.h"

namespace vrk {

namespace {

DWORD MoveMethod(TSeekOrigin origin) noexcept {
  switch (origin) {
    case TSeekOrigin::Beginning: return FILE_BEGIN;
    case TSeekOrigin::Current: return FILE_CURRENT;
    case TSeekOrigin::End: return FILE_END;
  }
  return FILE_BEGIN;
}

[[noreturn]] void RaiseOpenFailure(const Text& fileName, TFileMode mode) {
  if (mode == TFileMode::Create) throw EFileCreateError(FormatText("Cannot create file %s", {fileName}));
  throw EFileOpenError(FormatText("Cannot open file %s", {fileName}));
}

}  // namespace

TFileStream::TFileStream(const Text& fileName, TFileMode mode) : fileName_(fileName) {
  // A zero byte would cut the name short and reach another file.
  if (fileName.IsEmpty() || ascii::HasZeroByte(fileName.View())) RaiseOpenFailure(fileName, mode);
  const DWORD access = mode == TFileMode::OpenRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  const DWORD disposition = mode == TFileMode::Create ? CREATE_ALWAYS : OPEN_EXISTING;
  // Others may read and write meanwhile, as they could a file the C library opened.
  const HANDLE handle = CreateFileA(fileName.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) RaiseOpenFailure(fileName, mode);
  handle_ = handle;
}

TFileStream::~TFileStream() { CloseHandle(static_cast<HANDLE>(handle_)); }

std::int32_t TFileStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  DWORD read = 0;
  if (!ReadFile(static_cast<HANDLE>(handle_), buffer, static_cast<DWORD>(count), &read, nullptr)) return 0;
  return static_cast<std::int32_t>(read);
}

std::int32_t TFileStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  DWORD written = 0;
  WriteFile(static_cast<HANDLE>(handle_), buffer, static_cast<DWORD>(count), &written, nullptr);
  return static_cast<std::int32_t>(written);
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  LARGE_INTEGER position{};
  if (!SetFilePointerEx(static_cast<HANDLE>(handle_), distance, &position, MoveMethod(origin))) {
    throw EStreamError("Stream seek error");
  }
  return position.QuadPart;
}

}  // namespace vrk
