// The Windows clipboard as the tests read it: its text in the ANSI code page, and emptied
// before a run so that what a run leaves there is the run's own. Windows only.
#pragma once

#include <string>

#include "platform/winapi.h"

namespace vrk_test {

// Another program may hold the clipboard open for a moment.
inline bool OpenTheClipboard() {
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (OpenClipboard(nullptr)) return true;
    Sleep(100);
  }
  return false;
}

inline std::string ClipboardText() {
  std::string text;
  if (!OpenTheClipboard()) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const auto* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

inline void EmptyTheClipboard() {
  if (!OpenTheClipboard()) return;
  EmptyClipboard();
  CloseClipboard();
}

}  // namespace vrk_test
