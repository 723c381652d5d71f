#pragma once

namespace vrk {

// The whole run: start-up, the main form (which does the work), the message loop.
// Always 0, after errors too.
int RunVrk();

}  // namespace vrk
