#include "tests/e2e/tls_peer_process.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#ifdef _WIN32
#include "tests/e2e/wine_peer.h"
#endif

namespace vrk_test {

namespace {

// A path as the peer, a Linux program, names it.
std::string PeerPath(const std::filesystem::path& path) {
#ifdef _WIN32
  return WineUnixPath(path);
#else
  return path.string();
#endif
}

// Has the peer make its certificates into `folder`; throws when it made none.
void MakeCertificates(const std::string& program, const std::filesystem::path& folder) {
#ifdef _WIN32
  // Under Wine it is a Linux process, which Windows has no handle for: the CA, which it writes
  // last, says that it is done.
  WineLinuxProcess maker(program, {"certificates", PeerPath(folder)});
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!std::filesystem::exists(folder / "ca.pem")) {
    if (std::chrono::steady_clock::now() > deadline) throw std::runtime_error("the TLS peer made no certificates");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
#else
  ChildProcess maker(program, Arguments({"certificates", PeerPath(folder)}));
  if (maker.Wait(std::chrono::seconds(60)) != 0) throw std::runtime_error("the TLS peer made no certificates");
#endif
}

}  // namespace

std::string TlsPeerProgram() {
#ifdef VRK_TLS_PEER
  return VRK_TLS_PEER;
#else
  const char* named = std::getenv("VRK_TLS_PEER");
  return named != nullptr ? named : "";
#endif
}

TlsPeerProcess::TlsPeerProcess(std::uint16_t backendPort, const std::vector<std::string>& plans) {
  const std::string program = TlsPeerProgram();
  MakeCertificates(program, folder_.Path());
  std::vector<std::string> arguments = {"serve", PeerPath(folder_.Path()), std::to_string(backendPort)};
  arguments.insert(arguments.end(), plans.begin(), plans.end());
  // It ends when its input does, also when this process dies first.
#ifdef _WIN32
  trusted_ = std::make_unique<WineTrustedRoot>(CaFile());
  process_ = std::make_unique<WineLinuxProcess>(program, arguments);
#else
  ChildOptions options = Arguments(arguments);
  options.input = Stream::kPipe;
  options.output = Stream::kPipe;
  process_ = std::make_unique<ChildProcess>(program, options);
#endif
  for (std::size_t i = 0; i < plans.size(); ++i) {
    const std::string line = process_->ReadLine();
    if (line.rfind("PORT ", 0) != 0) throw std::runtime_error("the TLS peer did not listen: " + line);
    ports_.push_back(static_cast<std::uint16_t>(std::stoi(line.substr(5))));
  }
}

TlsPeerProcess::~TlsPeerProcess() {
#ifndef _WIN32
  process_->CloseInput();
  if (!process_->Wait(std::chrono::seconds(5))) process_->Kill();
#endif
}

std::vector<std::string> TlsPeerProcess::ToolEnvironment() const {
  // The Linux build reads its roots where OpenSSL does; the Windows build asks the system.
  return {"SSL_CERT_FILE=" + CaFile()};
}

}  // namespace vrk_test
