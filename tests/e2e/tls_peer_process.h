// The TLS test peer (tools/tls_peer) run for a suite: the private test CA and its certificates
// made in a scratch folder of its own, and one listening port per plan in front of an HTTP
// backend on 127.0.0.1. The machine's trust store is never touched: the Linux tool is told the
// CA through its environment; the Windows build's tests start the Linux peer under Wine and
// trust the CA in the build folder's Wine prefix alone (wine_peer.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scratch_folder.h"

namespace vrk_test {

#ifdef _WIN32
class WineLinuxProcess;
class WineTrustedRoot;
#endif

// The peer program; empty where this build has none to start (then the tests skip).
std::string TlsPeerProgram();

class TlsPeerProcess {
 public:
  // Throws std::runtime_error when the peer cannot make the certificates or listen.
  TlsPeerProcess(std::uint16_t backendPort, const std::vector<std::string>& plans);
  ~TlsPeerProcess();
  TlsPeerProcess(const TlsPeerProcess&) = delete;
  TlsPeerProcess& operator=(const TlsPeerProcess&) = delete;

  // The port of the plan with this index, in the order given.
  std::uint16_t Port(std::size_t plan) const { return ports_.at(plan); }
  // The test CA's certificate (PEM).
  std::string CaFile() const { return folder_.Inside("ca.pem"); }
  // What the tool's environment needs to trust the test CA.
  std::vector<std::string> ToolEnvironment() const;

 private:
  ScratchFolder folder_{"vrk-tls-"};
#ifdef _WIN32
  std::unique_ptr<WineLinuxProcess> process_;
  std::unique_ptr<WineTrustedRoot> trusted_;
#else
  std::unique_ptr<ChildProcess> process_;
#endif
  std::vector<std::uint16_t> ports_;
};

}  // namespace vrk_test
