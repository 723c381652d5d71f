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

// A text field inside a window: its accessible name and its text.
struct AccessibleField {
  std::string name;
  std::string text;
};

// True once libatspi is loaded and joined to the bus; loads it at the first call.
bool AccessibilityBusAvailable();

// The top-level windows of every program on the bus, in the bus's order; none when the bus
// cannot be reached. A program that does not answer in time is left out.
std::optional<std::vector<AccessibleWindow>> TopLevelWindows();

// The text fields (entries and text views) under the first top-level window of this name, in
// the tree's order; none when no such window answers.
std::optional<std::vector<AccessibleField>> TextFields(const std::string& windowName);

// Replaces the text of the first field of this name under that window; false when there is no
// such field or it refused.
bool ReplaceFieldText(const std::string& windowName, const std::string& fieldName,
                      const std::string& text);

}  // namespace vrk_posix
