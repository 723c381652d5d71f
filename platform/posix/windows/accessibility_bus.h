// The desktop's other programs as the accessibility bus shows them: the ground for the
// windows of other programs on Linux, where no window handles cross processes. libatspi is
// loaded at the first call, so runs that never look for another program neither need it nor
// pay for it.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vrk_posix {

// An object on the bus: a program's window or a widget inside it. Each one handed out carries
// a reference of its own, dropped with ReleaseBusObject.
using BusObject = void*;

// The top-level windows of every program on the bus (each child of a program there is one), in
// the bus's order; none when there is no session, no bus or no library. A program that does
// not answer within the bound of each call adds none.
std::vector<BusObject> BusTopLevelWindows();

// Calls `visit` with each descendant of `window`, depth first in the tree's order, until it
// returns false; the objects are lent for the call. False when `visit` stopped it.
bool ForEachBusDescendant(BusObject window, const std::function<bool(BusObject)>& visit);

BusObject RetainBusObject(BusObject object);
void ReleaseBusObject(BusObject object);

// What the object shows as its window text, in UTF-8: a text field's text (its first
// `maxCharacters` characters, or all for -1), any other object's name (a window's title);
// empty when it does not answer.
std::string BusObjectText(BusObject object, int maxCharacters = -1);

// Replaces a text field's whole text and returns once the program has answered; false when the
// object holds no editable text, refused or did not answer. Bytes that are not UTF-8 arrive
// as U+FFFD, each.
bool ReplaceBusText(BusObject object, const char* text);

}  // namespace vrk_posix
