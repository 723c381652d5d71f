// The desktop's clipboard, reached through its command-line tools.
#pragma once

#include <string>

namespace vrk_posix {

// Hands `text` to wl-copy (Wayland), xclip or xsel (X11), trying the next when one refuses.
// The tool keeps the text on the clipboard after this process ends. Returns once other programs
// read the text there (as wl-paste, xclip or xsel read it back), or another copy beside this
// one took its place, or at the latest two seconds after the tool took it while its holder
// still runs. A holder that ends without the text showing is given it again. False, with the
// last error ERROR_CLIPBOARD_NOT_OPEN, when there is no display, no tool, every tool refused,
// or the text never stayed; the system's text of that error then names the last tool's reason.
bool PutTextOnClipboard(const std::string& text);

}  // namespace vrk_posix
