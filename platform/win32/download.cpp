// The Windows side of the download service: the system's service writes to a name, so it
// gets a fresh one beside the target, and a watch that judges and bounds the transfer.
#include "platform/download.h"

#include <string>

#include "base/result_codes.h"
#include "framework/exceptions.h"
#include "platform/download_limits.h"
#include "platform/win32/download_watch.h"
#include "platform/win32/temporary_file.h"

namespace vrk {

void DownloadUrlToFile(const Text& url, const Text& target) {
  // The service writes straight to the name it is given, so it gets a name beside
  // the target; "ext" must never swap in a half-written file or an error page. The name is
  // a fresh one, reserved here, so that no file of the user's is written over. It is not
  // hidden: Windows refuses a plain create or copy over a hidden file.
  std::string reserved;
  const HANDLE file =
      CreateFileBeside(target.c_str(), GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL, reserved);
  if (file == INVALID_HANDLE_VALUE) {
    const HRESULT createError = result_codes::FromWin32Error(GetLastError());
    throw EOleSysError(OleErrorMessage(createError), createError);
  }
  CloseHandle(file);
  const Text partial(reserved.c_str());
  HRESULT result = S_OK;
  {
    // The service calls an error page or a body cut short a success; the watch knows better.
    DownloadWatch watch(DownloadStallLimit());
    result = URLDownloadToFileA(nullptr, url.c_str(), partial.c_str(), 0, &watch);
    result = watch.Verdict(result, partial.c_str());
  }
  if (FAILED(result)) {
    DeleteFileA(partial.c_str());
    throw EOleSysError(OleErrorMessage(result), result);
  }
  if (!PutInPlace(reserved, target.c_str())) {
    const HRESULT moveError = result_codes::FromWin32Error(GetLastError());
    throw EOleSysError(OleErrorMessage(moveError), moveError);
  }
}

}  // namespace vrk
