#include "net/message_wait.h"

#include "framework/application.h"

namespace vrk {

void PumpMessages() { Application->ProcessMessages(); }

void WaitForMessage(DWORD limitMs) {
  // A message already seen by the queue does not wake a wait, so look first.
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) return;
  MsgWaitForMultipleObjects(0, nullptr, FALSE, limitMs, QS_ALLINPUT);
}

}  // namespace vrk
