// The EDIT control: limit and selection messages, and WM_COPY to the desktop's clipboard.
// Its text is the window's own, kept by the default procedure.
#include "platform/posix/windows/edit_control.h"

#include <algorithm>

#include "platform/posix/clipboard/clipboard.h"
#include "platform/posix/windows/window_table.h"

namespace vrk_posix {

LRESULT CALLBACK EditControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* entry = FindWindowEntry(window);
  if (entry == nullptr) return 0;
  switch (message) {
    case EM_LIMITTEXT:
      entry->textLimit = wParam == 0 ? 0x7FFFFFFE : static_cast<DWORD>(wParam);
      return 0;
    case EM_GETLIMITTEXT:
      return entry->textLimit;
    case EM_SETSEL: {
      LONG length = static_cast<LONG>(entry->text.size());
      LONG start = static_cast<LONG>(wParam);
      LONG end = static_cast<LONG>(lParam);
      if (start < 0) start = end = length;  // -1 start removes the selection
      if (end < 0 || end > length) end = length;
      if (start > length) start = length;
      entry->selectionStart = std::min(start, end);
      entry->selectionEnd = std::max(start, end);
      return 0;
    }
    case EM_GETSEL:
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(entry->selectionStart);
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(entry->selectionEnd);
      return static_cast<LRESULT>((static_cast<DWORD>(entry->selectionEnd) << 16) |
                                  (static_cast<DWORD>(entry->selectionStart) & 0xFFFF));
    case WM_COPY: {
      // As on Windows, an empty selection leaves the clipboard alone. A clipboard that
      // cannot be reached is told through the last error (PutTextOnClipboard sets it).
      LONG length = static_cast<LONG>(entry->text.size());
      LONG start = std::min(entry->selectionStart, length);
      LONG end = std::min(entry->selectionEnd, length);
      if (start < end) {
        PutTextOnClipboard(entry->text.substr(static_cast<std::size_t>(start),
                                              static_cast<std::size_t>(end - start)));
      }
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace vrk_posix
