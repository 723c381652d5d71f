// The Linux side of the download service: the emulated service writes an unnamed file
// beside the target and gives it the target's name only when it is whole, so a failed or
// killed run leaves nothing behind.
#include "platform/download.h"

#include "framework/exceptions.h"

namespace vrk {

void DownloadUrlToFile(const Text& url, const Text& target) {
  HRESULT direct = URLDownloadToFileA(nullptr, url.c_str(), target.c_str(), 0, nullptr);
  if (FAILED(direct)) throw EOleSysError(OleErrorMessage(direct), direct);
}

}  // namespace vrk
