// How long a URL download waits before giving up with INET_E_CONNECTION_TIMEOUT.
#pragma once

#include <chrono>

namespace vrk_posix {

struct DownloadLimits {
  std::chrono::milliseconds connect{60000};
  // Time without a single byte arriving.
  std::chrono::milliseconds stalled{60000};
};

// Applies to downloads that start afterwards; meant for tests that cannot wait a minute.
void SetDownloadLimits(const DownloadLimits& limits);
DownloadLimits CurrentDownloadLimits();

}  // namespace vrk_posix
