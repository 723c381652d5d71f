#include "tests/e2e/tls_peer_process.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace vrk_test {

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
  {
    ChildProcess maker(program, Arguments({"certificates", folder_.Path().string()}));
    if (maker.Wait(std::chrono::seconds(60)) != 0) throw std::runtime_error("the TLS peer made no certificates");
  }
  ChildOptions options = Arguments({"serve", folder_.Path().string(), std::to_string(backendPort)});
  options.arguments.insert(options.arguments.end(), plans.begin(), plans.end());
  // It ends when its input does, also when this process dies first.
  options.input = Stream::kPipe;
  options.output = Stream::kPipe;
  process_ = std::make_unique<ChildProcess>(program, options);
  for (std::size_t i = 0; i < plans.size(); ++i) {
    const std::string line = process_->ReadLine();
    if (line.rfind("PORT ", 0) != 0) throw std::runtime_error("the TLS peer did not listen: " + line);
    ports_.push_back(static_cast<std::uint16_t>(std::stoi(line.substr(5))));
  }
}

TlsPeerProcess::~TlsPeerProcess() {
  process_->CloseInput();
  if (!process_->Wait(std::chrono::seconds(5))) process_->Kill();
}

std::vector<std::string> TlsPeerProcess::ToolEnvironment() const {
  // The Linux build reads its roots where OpenSSL does; the Windows build asks the system.
  return {"SSL_CERT_FILE=" + CaFile()};
}

}  // namespace vrk_test
