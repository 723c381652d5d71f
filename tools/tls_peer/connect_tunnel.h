// The proxy side of a tunnel: reads a CONNECT request, and for a loopback target answers 200
// and relays bytes both ways; any other request gets 400 and the close.
#pragma once

namespace vrk_test {

// Serves one accepted connection and closes it.
void ServeTunnel(int client);

}  // namespace vrk_test
