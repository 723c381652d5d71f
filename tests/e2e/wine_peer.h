// What the Windows build's HTTPS tests need to use the Linux TLS peer under Wine: the peer
// started and heard, its files named as Linux names them, and its test CA trusted by the
// prefix's Secure Channel (tools/wine_trust_root), so the tool's real certificate checks run.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vrk_test {

// The Linux name of a path of this program; empty where Wine cannot tell it.
std::string WineUnixPath(const std::filesystem::path& path);

// A Linux program started by Wine, whose standard input and output are one end of a loopback
// connection: Wine hands a Linux program no Windows pipe (it gets /dev/null), but a socket is a
// socket on both sides. Wine gives no handle for such a process either (ChildProcess must not
// be used: its end would terminate a null handle, which is every other thread of the test
// program); the program ends when its input does, which closing this end brings, also when the
// test program dies.
class WineLinuxProcess {
 public:
  // Throws std::runtime_error when the program cannot be started.
  WineLinuxProcess(const std::string& program, const std::vector<std::string>& arguments);
  ~WineLinuxProcess();
  WineLinuxProcess(const WineLinuxProcess&) = delete;
  WineLinuxProcess& operator=(const WineLinuxProcess&) = delete;

  // The next line of its output without the line feed; what came when the time ran out or the
  // output ended first.
  std::string ReadLine(std::chrono::milliseconds timeout = std::chrono::seconds(20));

 private:
  std::uintptr_t ours_;  // our end of the connection (a SOCKET)
};

// The CA among the trusted roots of the Wine prefix while it lives.
class WineTrustedRoot {
 public:
  // Throws std::runtime_error when the CA cannot be added.
  explicit WineTrustedRoot(std::string caFile);
  ~WineTrustedRoot();
  WineTrustedRoot(const WineTrustedRoot&) = delete;
  WineTrustedRoot& operator=(const WineTrustedRoot&) = delete;

 private:
  std::string caFile_;
};

}  // namespace vrk_test
