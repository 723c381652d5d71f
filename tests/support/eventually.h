// Waiting for what another process or thread brings about, within bounds.
#pragma once

#include <chrono>
#include <thread>

namespace vrk_test {

// True once `condition` holds, looked at every 20 ms; false when it still does not after `limit`.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace vrk_test
