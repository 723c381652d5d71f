// Waiting without burning the processor: a transfer against a stalled peer sleeps until
// a message comes, and still ends at once on the time-out or a cancel.
#include <gtest/gtest.h>

#include <ctime>
#include <memory>

#include "net/Psock.h"
#include "tests/net/net_test_support.h"

namespace vrk {
namespace {

using namespace net_test;

struct Usage {
  double cpuMs;
  double wallMs;
};

template <typename Action>
Usage Measure(Action action) {
  const std::clock_t cpuStart = std::clock();
  const auto wallStart = Clock::now();
  action();
  return Usage{1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC,
               std::chrono::duration<double, std::milli>(Clock::now() - wallStart).count()};
}

std::unique_ptr<TPowersock> ConnectedTo(const ScriptedServer& server, std::int32_t timeOut) {
  auto socket = std::make_unique<TPowersock>(nullptr);
  socket->Host = "127.0.0.1";
  socket->Port = server.Port();
  socket->TimeOut = timeOut;
  socket->Connect();
  return socket;
}

// Spinning costs a whole core; waiting costs next to nothing. The bound leaves room for
// a loaded machine.
constexpr double kMostCpuShare = 0.15;

TEST(PowersockWaiting, StalledReceivesSleepUntilTheTimeOut) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().Stall()));
  auto socket = ConnectedTo(server, 600);
  Text text;
  const Usage line = Measure([&] { EXPECT_THROW(socket->ReadLn(text), EAbortError); });
  const Usage capture = Measure([&] { EXPECT_THROW(socket->CaptureString(text, -1), EAbortError); });
  EXPECT_GE(line.wallMs, 550);
  EXPECT_LT(line.wallMs, 3000);
  EXPECT_LT(line.cpuMs, kMostCpuShare * line.wallMs);
  EXPECT_LT(capture.cpuMs, kMostCpuShare * capture.wallMs);
}

TEST(PowersockWaiting, StalledSendsBackOffAndStillCancelAtOnce) {
  ScriptedServer server(ConnectionPlan::Repeating(Script().StopReading().Stall()));
  auto socket = ConnectedTo(server, 0);
  const std::string big(8 * 1024 * 1024, 'x');
  auto canceler = std::make_unique<TThreadTimer>(nullptr);
  canceler->SetInterval(800);
  Clock::time_point canceled;
  canceler->SetOnTimer([&](TObject*) {
    canceler->SetEnabled(false);
    canceled = Clock::now();
    socket->Cancel();
  });
  const Usage usage = Measure([&] {
    try {
      for (;;) socket->Write(Text(big.data(), 60000));
    } catch (const EAbortError& error) {
      EXPECT_EQ(error.Message(), "Socket send aborted");
    }
  });
  EXPECT_LT(Clock::now() - canceled, 200ms);
  EXPECT_LT(usage.cpuMs, kMostCpuShare * usage.wallMs);
}

}  // namespace
}  // namespace vrk
