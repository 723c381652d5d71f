#include "platform/posix/sockets/name_lookup.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

namespace vrk_posix {
namespace {

LookupFailure FailureOf(int code) {
  switch (code) {
    case EAI_AGAIN:
      return LookupFailure::kTryAgain;
    case EAI_FAIL:
      return LookupFailure::kNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
      return LookupFailure::kNoData;
    case EAI_MEMORY:
      return LookupFailure::kNoMemory;
    default:  // EAI_NONAME, EAI_SYSTEM and the rest: the name gives no address
      return LookupFailure::kNotFound;
  }
}

}  // namespace

HostAddresses LookUpHost(const std::string& requested) {
  // Winsock takes the empty name for this machine; its loopback address serves as well and
  // never sends a test's traffic beyond the machine.
  const std::string name = requested.empty() ? "localhost" : requested;
  HostAddresses result;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* list = nullptr;
  int code = getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (code != 0) {
    result.failure = FailureOf(code);
    return result;
  }
  for (addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
    if (result.officialName.empty() && entry->ai_canonname != nullptr) {
      result.officialName = entry->ai_canonname;
    }
    if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
    std::uint32_t address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
    if (std::find(result.addresses.begin(), result.addresses.end(), address) ==
        result.addresses.end()) {
      result.addresses.push_back(address);
    }
  }
  freeaddrinfo(list);
  if (result.officialName.empty()) result.officialName = name;
  if (result.addresses.empty()) result.failure = LookupFailure::kNoData;
  return result;
}

}  // namespace vrk_posix
