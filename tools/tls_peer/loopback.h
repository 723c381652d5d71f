// Plain TCP on 127.0.0.1 for the TLS peer: listening, connecting and moving bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vrk_test::loopback {

// A listening socket on 127.0.0.1 at an ephemeral port; -1 on failure.
int Listen(std::uint16_t& port);
// A connected socket to 127.0.0.1:port; -1 on failure.
int Connect(std::uint16_t port);
void SetNonBlocking(int socket);
// Waits until the socket is readable (or writable); false after `timeoutMs`.
bool WaitFor(int socket, bool readable, int timeoutMs);
// Writes every byte to a blocking socket; false when it broke.
bool WriteAll(int socket, const char* data, std::size_t size);
// Sends FIN, reads until the peer's FIN (at most a while), then closes: so unread bytes never
// turn the close into a reset that could overtake what was sent.
void CloseGracefully(int socket);
// Copies bytes both ways until both sides have ended, passing each end on as a FIN.
void Relay(int a, int b);

}  // namespace vrk_test::loopback
