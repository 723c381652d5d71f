#include "platform/download.h"

#include <cstdio>

#include "framework/exceptions.h"
#include "platform/download_watch.h"

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

Text PartialDownloadName(const Text& target) { return target + ".vrk-download"; }

#ifdef _WIN32
namespace {
HRESULT FromWin32(DWORD error) {
  return error == 0 ? E_FAIL : static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}
}  // namespace
#endif

void DownloadUrlToFile(const Text& url, const Text& target) {
#ifndef _WIN32
  // The emulated service itself replaces the target only by a complete download.
  HRESULT direct = URLDownloadToFileA(nullptr, url.c_str(), target.c_str(), 0, nullptr);
  if (FAILED(direct)) throw EOleSysError(OleErrorMessage(direct), direct);
#else
  // The service writes straight to the name it is given, so it gets a name beside
  // the target; "ext" must never swap in a half-written file or an error page.
  Text partial = PartialDownloadName(target);
  // The service calls an error page or a body cut short a success; the watch knows better.
  DownloadWatch watch;
  HRESULT result = URLDownloadToFileA(nullptr, url.c_str(), partial.c_str(), 0, &watch);
  if (SUCCEEDED(result)) result = watch.Verdict(partial.c_str());
  if (FAILED(result)) {
    DeleteFileA(partial.c_str());
    throw EOleSysError(OleErrorMessage(result), result);
  }
  if (!MoveFileExA(partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    HRESULT moveError = FromWin32(GetLastError());
    DeleteFileA(partial.c_str());
    throw EOleSysError(OleErrorMessage(moveError), moveError);
  }
#endif
}

}  // namespace vrk
