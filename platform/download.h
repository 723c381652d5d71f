// The platform's URL download service, as the binary download uses it.
#pragma once

#include "framework/text.h"
#include "platform/winapi.h"

namespace vrk {

// Saves the resource to `target`. The target is replaced only by a complete
// download: a failure leaves it as it was and leaves no partial file beside it.
// A failure raises EOleSysError with OleErrorMessage of its code.
void DownloadUrlToFile(const Text& url, const Text& target);

// The platform's text for the code without trailing blanks, control characters
// and full stops, or "OLE error %.8x" when it has none.
Text OleErrorMessage(HRESULT code);

}  // namespace vrk
