#include "platform/posix/sockets/socket_table.h"

#include <new>

#include "platform/posix/sockets/socket_io.h"

namespace vrk_posix {

namespace {

struct SocketMap {
  std::map<SOCKET, std::shared_ptr<SocketEntry>> entries;
  SOCKET lastHandle = 0;
  int startups = 0;
};

// Made in place and never destroyed: start-up and clean-up must not fail for want of memory,
// and sockets may still be closed while the process ends.
SocketMap& TheMap() {
  alignas(SocketMap) static unsigned char storage[sizeof(SocketMap)];
  static SocketMap* map = new (storage) SocketMap();
  return *map;
}

// Handles fit 16 bits, as callers of the 1.1 interface keep them, and step through the
// range before one is used again, so that a late message names no newer socket.
constexpr SOCKET kHandleStep = 4;
constexpr SOCKET kLastHandle = 0xFFFC;
}  // namespace

SocketEntry::~SocketEntry() { socket_io::Close(fd); }

std::mutex& SocketTableLock() {
  static std::mutex lock;  // made without memory, and nothing to destroy
  return lock;
}

std::map<SOCKET, std::shared_ptr<SocketEntry>>& AllSockets() { return TheMap().entries; }

int& StartupCount() { return TheMap().startups; }

bool WinsockStarted() { return TheMap().startups > 0; }

SOCKET AddSocket(std::shared_ptr<SocketEntry> entry) {
  SocketMap& map = TheMap();
  SOCKET candidate = map.lastHandle;
  for (SOCKET tries = 0; tries < kLastHandle / kHandleStep; ++tries) {
    candidate = candidate >= kLastHandle ? kHandleStep : candidate + kHandleStep;
    if (map.entries.count(candidate) != 0) continue;
    map.lastHandle = candidate;
    entry->handle = candidate;
    map.entries.emplace(candidate, std::move(entry));
    return candidate;
  }
  return INVALID_SOCKET;
}

std::shared_ptr<SocketEntry> FindSocket(SOCKET handle) {
  auto& entries = AllSockets();
  auto it = entries.find(handle);
  return it == entries.end() ? nullptr : it->second;
}

std::shared_ptr<SocketEntry> RemoveSocket(SOCKET handle) {
  auto& entries = AllSockets();
  auto it = entries.find(handle);
  if (it == entries.end()) return nullptr;
  std::shared_ptr<SocketEntry> entry = std::move(it->second);
  entries.erase(it);
  return entry;
}

void RemoveAllSockets() { AllSockets().clear(); }

int FailWith(int error) {
  WSASetLastError(error);
  return SOCKET_ERROR;
}

}  // namespace vrk_posix
