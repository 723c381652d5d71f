// Lays out a Winsock host entry (hostent with its name, alias list and address list)
// inside one buffer, with every pointer aimed into that buffer.
#pragma once

#include <vector>

#include "platform/posix/sockets/name_lookup.h"
#include "platform/posix/win32.h"

namespace vrk_posix {

// Bytes the entry needs when it is to live at `home`.
int HostEntrySize(const HostAddresses& host, const char* home);
// Builds those bytes in `image`, pointers aimed at `home`; copying the image to `home`
// gives a valid hostent there.
void BuildHostEntry(const HostAddresses& host, char* home, std::vector<char>& image);
// The Winsock error for a failed lookup (0 for none).
int WsaErrorOfLookup(LookupFailure failure);

}  // namespace vrk_posix
