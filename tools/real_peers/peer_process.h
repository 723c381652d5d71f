// What every real peer needs besides its scratch folder and its process (tests/support): the
// program, a free loopback port, and the moment it listens.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/child_process.h"

namespace vrk_test {

// The full path of an installed program, searched in PATH and in the system folders that a
// normal user's PATH often lacks (server programs live in sbin).
std::optional<std::filesystem::path> FindProgram(const std::string& name);

// A loopback port that was free a moment ago. Another program may take it before the
// peer binds it, so peers retry with a new one when their program fails to start.
std::uint16_t FreeLoopbackPort();

// True once a connection to 127.0.0.1:port succeeds.
bool AcceptsConnections(std::uint16_t port);

// Waits until the peer accepts connections on the port; false when it ended first or the
// time ran out.
bool WaitUntilListening(ChildProcess& peer, std::uint16_t port, std::chrono::milliseconds limit);

}  // namespace vrk_test
