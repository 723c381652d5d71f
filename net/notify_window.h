// The hidden window of each socket component, to which the platform posts socket events
// and name lookup replies.
#pragma once

#include "platform/winapi.h"

namespace vrk {

class TPowersock;

// 0 when no window could be made.
HWND CreateNotifyWindow(TPowersock* owner);

}  // namespace vrk
