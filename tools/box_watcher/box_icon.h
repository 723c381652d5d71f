// Which of the standard icons a message box shows, read from its pixels on screen:
// handles to another process's icons cannot be read across processes under Wine.
#pragma once

#include <windows.h>

#include <optional>

namespace vrk_test {

enum class BoxIcon { None, Information, Warning, Error, Question, Unknown };

const char* IconName(BoxIcon icon);

// The box's icon, or nothing while the icon is not yet painted recognisably.
std::optional<BoxIcon> ReadBoxIcon(HWND box);

}  // namespace vrk_test
