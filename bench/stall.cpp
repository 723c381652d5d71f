// The socket component's processor use while its peer stalls: ReadLn and CaptureString
// against a silent server, and sends against a server that has stopped reading. Each runs
// until the component's time-out; the goal is under 2% of one core.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "net/Psock.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

using namespace std::chrono_literals;
using vrk_test::ConnectionPlan;
using vrk_test::Script;
using vrk_test::ScriptedServer;

constexpr std::int32_t kStallMs = 3000;

std::unique_ptr<vrk::TPowersock> ConnectedTo(const ScriptedServer& server) {
  auto socket = std::make_unique<vrk::TPowersock>(nullptr);
  socket->Host = "127.0.0.1";
  socket->Port = server.Port();
  socket->TimeOut = kStallMs;
  socket->Connect();
  return socket;
}

template <typename Action>
bool Report(const char* name, Action action) {
  const std::clock_t cpuStart = std::clock();
  const auto wallStart = std::chrono::steady_clock::now();
  try {
    action();
  } catch (const vrk::EAbortError&) {
    // The time-out ends every run.
  }
  const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  const double wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
  const double share = 100.0 * cpuMs / wallMs;
  std::printf("%-28s wall %7.0f ms   cpu %6.1f ms   %5.2f%% %s\n", name, wallMs, cpuMs, share,
              share < 2.0 ? "(goal met)" : "(over the 2% goal)");
  return share < 2.0;
}

}  // namespace

int main() {
  bool met = true;
  {
    ScriptedServer server(ConnectionPlan::Repeating(Script().Stall()));
    auto socket = ConnectedTo(server);
    vrk::Text text;
    met &= Report("ReadLn, silent server", [&] { socket->ReadLn(text); });
    met &= Report("CaptureString, silent server", [&] { socket->CaptureString(text, -1); });
  }
  {
    ScriptedServer server(ConnectionPlan::Repeating(Script().StopReading().Stall()));
    auto socket = ConnectedTo(server);
    const std::string chunk(60000, 'x');
    met &= Report("Write, server not reading", [&] {
      for (;;) socket->Write(vrk::Text(chunk));
    });
  }
  return met ? 0 : 1;
}
