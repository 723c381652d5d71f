#include "platform/system_message.h"

namespace vrk {

Text SystemMessage(DWORD code) {
  char buffer[256];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr,
                                code, 0, buffer, sizeof buffer, nullptr);
  if (length >= sizeof buffer) length = 0;
  while (length > 0 && (static_cast<unsigned char>(buffer[length - 1]) <= 32 ||
                        buffer[length - 1] == '.')) {
    --length;
  }
  return Text(buffer, length);
}

}  // namespace vrk
