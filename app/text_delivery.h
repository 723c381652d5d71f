// Where a fetched text goes: another program's edit control, a file, or the clipboard.
// Each step is a function of its own, so it can be exercised without the network.
#pragma once

#include <array>

#include "framework/text.h"
#include "platform/winapi.h"

namespace vrk {

class TEdit;

// Parameters 2 to 7 of the command line as the delivery reads them.
struct DeliveryParameters {
  Text Mode;                      // 2: "W" = file, empty = receiving program, else clipboard
  Text FileName;                  // 3: output file
  std::array<Text, 4> MoreWords;  // 4 to 7: further words of the output file's name

  static DeliveryParameters FromCommandLine();
};

enum class DeliveryKind { Window, File, Clipboard };

// Window only for a found program and an empty mode; "W" (exact) is a file; all else clipboard.
DeliveryKind ChooseDelivery(bool programFound, const Text& mode);

// The first top-level window, in the platform's order, whose title (at most 255 characters)
// agrees with `program` over 10 positions, ASCII case folded; null when none does.
HWND FindReceivingProgram(const Text& program);

// The first descendant of `program` whose whole text equals `control`, ASCII case folded;
// null when none does.
HWND FindReceivingControl(HWND program, const Text& control);

// WM_SETTEXT, waiting until the other program has handled it.
void DeliverToWindow(HWND control, const Text& text);

// The output file's name: `name` and the non-empty further words, a blank before each.
Text DeliveryFileName(const Text& name, const std::array<Text, 4>& moreWords);

// Backs `name` up to ".old" when it is an existing file, appends the non-empty further words
// with a blank each, then creates the file and writes `text`. A file that cannot be created
// raises EFileCreateError, an incomplete write EWriteError.
void DeliverToFile(const Text& name, const std::array<Text, 4>& moreWords, const Text& text);

// The holder's whole text onto the clipboard as plain text.
void DeliverToClipboard(TEdit& holder);

}  // namespace vrk
