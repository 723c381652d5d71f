// The failure codes of a URL download that both builds derive alike: from the HTTP status
// of the answer and from a Win32 error. Plain 32-bit patterns, so that the emulation and
// the platform layer can share them without a system header.
#pragma once

#include <cstdint>

namespace vrk::result_codes {

inline constexpr std::uint32_t kFail = 0x80004005u;
inline constexpr std::uint32_t kResourceNotFound = 0x800C0005u;
inline constexpr std::uint32_t kDownloadFailure = 0x800C0008u;
inline constexpr std::uint32_t kAuthenticationRequired = 0x800C0009u;

// 0 (success) below 400; otherwise the failure the download service reports for it.
constexpr std::int32_t FromHttpStatus(long status) noexcept {
  if (status < 400) return 0;
  if (status == 404 || status == 410) return static_cast<std::int32_t>(kResourceNotFound);
  if (status == 401 || status == 407) return static_cast<std::int32_t>(kAuthenticationRequired);
  return static_cast<std::int32_t>(kDownloadFailure);
}

// A Win32 error code as an HRESULT of the Win32 facility; no error at all is a plain failure.
constexpr std::int32_t FromWin32Error(std::uint32_t error) noexcept {
  return static_cast<std::int32_t>(error == 0 ? kFail : 0x80070000u | (error & 0xFFFFu));
}

}  // namespace vrk::result_codes
