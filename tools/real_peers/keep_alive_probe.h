// Tells whether a server keeps a connection open once it has sent a complete response,
// as seen from a plain socket (a test's client may not use POSIX sockets itself).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace vrk_test {

// Sends the request bytes to 127.0.0.1:port, reads the response up to the end that its
// Content-Length announces (within 5 s), then waits `quiet` for the server to close.
// True when the whole response came and the connection was still open after that.
bool KeptOpenAfterResponse(std::uint16_t port, const std::string& request, std::chrono::milliseconds quiet);

}  // namespace vrk_test
