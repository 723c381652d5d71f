// Texts for the failure codes of the download service, alike on both builds.
#include "platform/download.h"

#include <cstdio>

#include "platform/system_message.h"

namespace vrk {

Text OleErrorMessage(HRESULT code) {
  const Text text = SystemMessage(static_cast<DWORD>(code));
  if (!text.IsEmpty()) return text;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "OLE error %.8X", static_cast<unsigned>(code));
  return Text(buffer);
}

}  // namespace vrk
