// IPv4 host name lookup for the Winsock emulation, on the POSIX side (no Win32 names).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vrk_posix {

enum class LookupFailure { kNone, kNotFound, kTryAgain, kNoRecovery, kNoData, kNoMemory };

struct HostAddresses {
  LookupFailure failure = LookupFailure::kNone;
  std::string officialName;
  std::vector<std::uint32_t> addresses;  // network byte order, first as the resolver gave it
};

// Blocks for as long as the system resolver takes.
HostAddresses LookUpHost(const std::string& name);

}  // namespace vrk_posix
