// The parts every real peer needs: a private scratch folder, a free loopback port, and a
// server program run in the foreground as a child that is always stopped again.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vrk::testing {

// The full path of an installed program, searched in PATH and in the system folders that a
// normal user's PATH often lacks (server programs live in sbin).
std::optional<std::filesystem::path> FindProgram(const std::string& name);

// A fresh folder under the temporary directory, removed with everything in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Writes the bytes to a file under the folder, creating the folders on the way.
  std::filesystem::path Write(const std::string& relative, const std::string& bytes) const;
  // The whole content of a file under the folder; empty when it is missing.
  std::string Read(const std::string& relative) const;

 private:
  std::filesystem::path path_;
};

// A loopback port that was free a moment ago. Another program may take it before the
// peer binds it, so peers retry with a new one when their program fails to start.
std::uint16_t FreeLoopbackPort();

// True once a connection to 127.0.0.1:port succeeds.
bool AcceptsConnections(std::uint16_t port);

// A program run as a child with its output in a file; stopped by the destructor with
// SIGTERM, then SIGKILL when it has not ended within the grace time.
class PeerProcess {
 public:
  PeerProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
              const std::filesystem::path& outputFile);
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;

  pid_t Pid() const { return pid_; }
  // True while the child has not ended (reaps it when it has).
  bool Running();
  // Waits until the child accepts connections on the port; false when it ended first or
  // the time ran out.
  bool WaitUntilListening(std::uint16_t port, std::chrono::milliseconds limit);
  void Stop(std::chrono::milliseconds grace = std::chrono::milliseconds(5000));

 private:
  pid_t pid_ = -1;
};

}  // namespace vrk::testing
