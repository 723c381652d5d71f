// The socket component's processor use while its peer is slow or stalls: ReadLn and
// CaptureString against a silent server, sends against a server that has stopped reading, and
// ReadLn over a TLS session whose server sends nothing after the handshake, each until the
// component's time-out (goal: under 2% of one core); and CaptureString of a server that
// trickles one byte every 10 ms (goal: under 5%). The processor time is the whole process's,
// so an in-process server's share counts against the component; the TLS server is a child.
// Usage: bench_stall [TRICKLE_SECONDS]   (default 60)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "net/Psock.h"
#include "tests/e2e/tls_peer_process.h"
#include "tests/support/host.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

using namespace std::chrono_literals;
using vrk_test::ConnectionPlan;
using vrk_test::Script;
using vrk_test::ScriptedServer;

constexpr std::int32_t kStallMs = 3000;
constexpr auto kTricklePause = 10ms;

std::unique_ptr<vrk::TPowersock> ConnectedTo(std::uint16_t port) {
  auto socket = std::make_unique<vrk::TPowersock>(nullptr);
  socket->Host = "127.0.0.1";
  socket->Port = port;
  socket->TimeOut = kStallMs;
  socket->Connect();
  return socket;
}

template <typename Action>
bool Report(const char* name, double goalPercent, Action action) {
  const std::clock_t cpuStart = std::clock();
  const auto wallStart = std::chrono::steady_clock::now();
  try {
    action();
  } catch (const vrk::EAbortError&) {
    // The time-out ends the stalled runs.
  }
  const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const double wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
  const double share = 100.0 * cpuMs / wallMs;
  const bool met = share < goalPercent;
  std::printf("%-32s wall %7.0f ms   cpu %6.1f ms   %5.2f%% %s %.0f%% goal)\n", name, wallMs, cpuMs, share,
              met ? "(under the" : "(OVER the", goalPercent);
  return met;
}

bool SilentAndStuck() {
  bool met = true;
  {
    ScriptedServer server(ConnectionPlan::Repeating(Script().Stall()));
    auto socket = ConnectedTo(server.Port());
    vrk::Text text;
    met &= Report("ReadLn, silent server", 2, [&] { socket->ReadLn(text); });
    met &= Report("CaptureString, silent server", 2, [&] { socket->CaptureString(text, -1); });
  }
  ScriptedServer server(ConnectionPlan::Repeating(Script().StopReading().Stall()));
  auto socket = ConnectedTo(server.Port());
  const std::string chunk(60000, 'x');
  return Report("Write, server not reading", 2, [&] {
           for (;;) socket->Write(vrk::Text(chunk));
         }) && met;
}

bool Trickle(int seconds) {
  const std::vector<std::string> bytes(static_cast<std::size_t>(seconds * 1000 / kTricklePause.count()), "x");
  ScriptedServer server(ConnectionPlan::Repeating(Script().SendPieces(bytes, kTricklePause)));
  auto socket = ConnectedTo(server.Port());
  // No time-out, as the tool's client has: the countdown runs from the capture's start, not
  // from its last byte.
  socket->TimeOut = 0;
  vrk::Text text;
  const bool met = Report("CaptureString, 1 byte per 10 ms", 5, [&] { socket->CaptureString(text, -1); });
  if (text.Length() == bytes.size()) return met;
  std::printf("  but %zu bytes of %zu came\n", static_cast<std::size_t>(text.Length()), bytes.size());
  return false;
}

bool SilentTls() {
  if (vrk_test::TlsPeerProgram().empty()) {
    std::printf("%-32s skipped: no TLS test peer (vrk_tls_peer)\n", "ReadLn, silent TLS server");
    return true;
  }
  // The peer forwards the request to a backend that never answers.
  ScriptedServer backend(ConnectionPlan::Repeating(Script().Stall()));
  vrk_test::TlsPeerProcess peer(backend.Port(), {"good"});
  vrk_test::SetVariable("SSL_CERT_FILE", peer.CaFile());
  auto socket = ConnectedTo(peer.Port(0));
  socket->StartSecure(vrk::Text("127.0.0.1"));
  socket->Write(vrk::Text("GET / HTTP/1.0\r\n\r\n"));
  vrk::Text line;
  return Report("ReadLn, silent TLS server", 2, [&] { socket->ReadLn(line); });
}

}  // namespace

int main(int argc, char** argv) {
  const int trickleSeconds = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 3600) : 60;
  try {
    bool met = SilentAndStuck();
    met &= SilentTls();
    met &= Trickle(trickleSeconds);
    return met ? 0 : 1;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "bench_stall: %s\n", failure.what());
    return 2;
  }
}
