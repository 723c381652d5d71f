#include "net/notify_window.h"

#include "net/Psock.h"
#include "net/hidden_window.h"

namespace vrk {
namespace {
const HiddenWindowClass kNotifyWindowClass{"PsockWindowClass", SocketWindowProc};
}

HWND CreateNotifyWindow(TPowersock* owner) { return CreateHiddenWindow(kNotifyWindowClass, owner); }

LRESULT CALLBACK SocketWindowProc(HWND Window, UINT Message, WPARAM First, LPARAM Second) {
  auto* socket = static_cast<TPowersock*>(HiddenWindowOwner(Window));
  if (socket == nullptr || Message < kSocketEventMessage) {
    return DefWindowProcA(Window, Message, First, Second);
  }
  TNotificationMessage record{Message, First, Second, 0};
  // Nothing may unwind through the platform's dispatch.
  try {
    socket->HandleNotification(record);
  } catch (...) {
  }
  return record.Result;
}

}  // namespace vrk
