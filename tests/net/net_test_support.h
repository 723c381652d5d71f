// Shared pieces of the socket layer's tests: bounded pumping and a view of the
// component's inner state.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "framework/application.h"
#include "net/Psock.h"
#include "platform/winapi.h"
#include "tools/scripted_server/scripted_server.h"

namespace vrk::net_test {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using vrk_test::ConnectionPlan;
using vrk_test::Script;
using vrk_test::ScriptedServer;

// Pumps the thread's queue until the condition holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!done()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
    Application->ProcessMessages();
  }
  return true;
}

inline void PumpFor(Clock::duration span) {
  PumpUntil([] { return false; }, std::chrono::ceil<std::chrono::milliseconds>(span));
}

// The component with its inner state in reach.
class TSocketProbe : public TPowersock {
 public:
  using TPowersock::TPowersock;
  using TPowersock::CancelRequested;
  using TPowersock::Connected;
  using TPowersock::HandleNotification;
  using TPowersock::LastEventOk;
  using TPowersock::NotifyWindow;
  using TPowersock::RemoteAddress;
  using TPowersock::SocketHandle;
  using TPowersock::SocketTimer;
  using TPowersock::TimedOut;
  using TPowersock::WaitSignal;
  using TPowersock::ReportStatus;
  using TPowersock::RequestCloseSocket;
};

// Records the status texts a component reports.
struct StatusLog {
  std::vector<std::string> texts;
  void Attach(TPowersock& socket) {
    socket.OnStatus = [this](TComponent*, const Text& status) { texts.push_back(status.ToStdString()); };
  }
  bool Has(const std::string& text) const {
    for (const auto& t : texts) {
      if (t == text) return true;
    }
    return false;
  }
};

}  // namespace vrk::net_test
