// The desktop's other programs as the accessibility bus shows them: the ground for finding a
// receiving window and its text fields on Linux, where no window handles cross processes.
// libatspi is loaded at the first use, so runs that never deliver neither need it nor pay
// for it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vrk_posix {

struct AccessibleWindow {
  std::string application;
  std::string name;
  unsigned processId = 0;
};

// True once libatspi is loaded and joined to the bus; loads it at the first call.
bool AccessibilityBusAvailable();

// The top-level windows of every program on the bus, in the bus's order; none when the bus
// cannot be reached. A program that does not answer in time is left out.
std::optional<std::vector<AccessibleWindow>> TopLevelWindows();

}  // namespace vrk_posix
