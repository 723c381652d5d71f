// The desktop's clipboard on POSIX, read back as another program would, through xclip.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vrk_test {

// Whether there is an X display and xclip; the clipboard's tests skip without them.
inline bool XClipboardReachable() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != 0 &&
         std::system("command -v xclip >/dev/null 2>&1") == 0;
}

// The clipboard's text; what came when xclip does not end within 10 seconds.
inline std::string XClipboardText() {
  std::string text;
  FILE* reader = popen("timeout 10 xclip -o -selection clipboard 2>/dev/null", "r");
  if (reader == nullptr) return text;
  char buffer[4096];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, reader)) > 0) text.append(buffer, count);
  pclose(reader);
  return text;
}

}  // namespace vrk_test
