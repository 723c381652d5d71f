#include "platform/posix/sockets/host_entry.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vrk_posix {
namespace {

// Winsock keeps at most this many addresses in an entry; it also bounds the size.
constexpr std::size_t kMaxAddresses = 35;

struct Layout {
  std::size_t aliases;    // offset of the alias list (one null pointer)
  std::size_t addrList;   // offset of the address pointer list
  std::size_t addresses;  // offset of the 4-byte addresses
  std::size_t name;       // offset of the official name
  std::size_t size;
};

std::size_t AlignedOffset(const char* home, std::size_t offset) {
  auto address = reinterpret_cast<std::uintptr_t>(home) + offset;
  auto aligned = (address + alignof(char*) - 1) & ~static_cast<std::uintptr_t>(alignof(char*) - 1);
  return offset + (aligned - address);
}

std::size_t AddressCount(const HostAddresses& host) {
  return std::min(host.addresses.size(), kMaxAddresses);
}

Layout Plan(const HostAddresses& host, const char* home) {
  Layout layout;
  std::size_t count = AddressCount(host);
  layout.aliases = AlignedOffset(home, sizeof(hostent));
  layout.addrList = layout.aliases + sizeof(char*);
  layout.addresses = layout.addrList + (count + 1) * sizeof(char*);
  layout.name = layout.addresses + count * 4;
  layout.size = layout.name + host.officialName.size() + 1;
  return layout;
}

void PutPointer(std::vector<char>& image, std::size_t offset, const void* pointer) {
  std::memcpy(image.data() + offset, &pointer, sizeof pointer);
}

}  // namespace

int HostEntrySize(const HostAddresses& host, const char* home) {
  return static_cast<int>(Plan(host, home).size);
}

void BuildHostEntry(const HostAddresses& host, char* home, std::vector<char>& image) {
  Layout layout = Plan(host, home);
  std::size_t count = AddressCount(host);
  image.assign(layout.size, 0);
  hostent entry{};
  entry.h_name = home + layout.name;
  entry.h_aliases = reinterpret_cast<char**>(home + layout.aliases);
  entry.h_addrtype = AF_INET;
  entry.h_length = 4;
  entry.h_addr_list = reinterpret_cast<char**>(home + layout.addrList);
  std::memcpy(image.data(), &entry, sizeof entry);
  PutPointer(image, layout.aliases, nullptr);
  for (std::size_t i = 0; i < count; ++i) {
    std::memcpy(image.data() + layout.addresses + 4 * i, &host.addresses[i], 4);
    PutPointer(image, layout.addrList + i * sizeof(char*), home + layout.addresses + 4 * i);
  }
  PutPointer(image, layout.addrList + count * sizeof(char*), nullptr);
  std::memcpy(image.data() + layout.name, host.officialName.c_str(), host.officialName.size() + 1);
}

int WsaErrorOfLookup(LookupFailure failure) {
  switch (failure) {
    case LookupFailure::kNone:
      return 0;
    case LookupFailure::kNotFound:
      return WSAHOST_NOT_FOUND;
    case LookupFailure::kTryAgain:
      return WSATRY_AGAIN;
    case LookupFailure::kNoRecovery:
      return WSANO_RECOVERY;
    case LookupFailure::kNoData:
      return WSANO_DATA;
    case LookupFailure::kNoMemory:
      return WSAENOBUFS;
  }
  return WSANO_RECOVERY;
}

}  // namespace vrk_posix
