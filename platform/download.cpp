// Texts for the failure codes of the download service, alike on both builds.
#include "platform/download.h"

#include <cstdio>

#include "framework/exceptions.h"

namespace vrk {

Text OleErrorMessage(HRESULT code) {
  char buffer[256];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr,
                                static_cast<DWORD>(code), 0, buffer, sizeof buffer, nullptr);
  if (length == 0 || length >= sizeof buffer) {
    std::snprintf(buffer, sizeof buffer, "OLE error %.8X", static_cast<unsigned>(code));
    return Text(buffer);
  }
  while (length > 0 && (static_cast<unsigned char>(buffer[length - 1]) <= 32 ||
                        buffer[length - 1] == '.')) {
    --length;
  }
  return Text(buffer, length);
}

}  // namespace vrk
