// How long a URL download may go without any sign of progress before it gives up with
// INET_E_CONNECTION_TIMEOUT, on both builds.
#pragma once

#include <chrono>
#include <cstdlib>

namespace vrk {

inline constexpr std::chrono::milliseconds kDownloadStallLimit{60000};

// A minute, or fewer milliseconds when VRK_DOWNLOAD_STALL_MS names them: tests of the whole
// tool cannot wait a minute for each stalled download. A longer time is not taken, so the
// bound always holds.
inline std::chrono::milliseconds DownloadStallLimit() {
  const char* text = std::getenv("VRK_DOWNLOAD_STALL_MS");
  if (text == nullptr || *text == '\0') return kDownloadStallLimit;
  long long value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return kDownloadStallLimit;
    value = value * 10 + (*p - '0');
    if (value >= kDownloadStallLimit.count()) return kDownloadStallLimit;
  }
  return value > 0 ? std::chrono::milliseconds(value) : kDownloadStallLimit;
}

}  // namespace vrk
