// The desktop's clipboard on POSIX, read back as another program would, through xclip.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/eventually.h"

namespace vrk_test {

// Whether there is an X display and xclip; the clipboard's tests skip without them.
inline bool XClipboardReachable() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != 0 &&
         std::system("command -v xclip >/dev/null 2>&1") == 0;
}

// What a shell command prints.
inline std::string CommandOutput(const std::string& command) {
  std::string text;
  FILE* reader = popen(command.c_str(), "r");
  if (reader == nullptr) return text;
  char buffer[4096];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, reader)) > 0) text.append(buffer, count);
  pclose(reader);
  return text;
}

// The clipboard's text; what came when xclip does not end within `seconds`.
inline std::string XClipboardText(int seconds = 10) {
  return CommandOutput("timeout " + std::to_string(seconds) +
                       " xclip -o -selection clipboard 2>/dev/null");
}

// Puts the text on the clipboard with xclip and waits until the clipboard shows it: xclip
// ends before the holder it leaves behind has taken the clipboard. False when it never does.
// Each look is short: one that asks the holder just losing the clipboard gets no answer.
inline bool SetXClipboardText(const std::string& text) {
  FILE* writer = popen("xclip -i -selection clipboard", "w");
  if (writer == nullptr) return false;
  std::fputs(text.c_str(), writer);
  pclose(writer);
  return Eventually([&] { return XClipboardText(1) == text; });
}

}  // namespace vrk_test
