// The ".old" copy of a file that is about to be replaced, made so that the file's name is
// never missing: the backup is a second name for the same file, taken before the new file
// replaces the old one at once.
#pragma once

#include "framework/text.h"

namespace vrk {

// Gives the existing file `name` the further name `backup`, which must not exist yet (an
// existing backup stays as it is, and the call fails). Where the file system has no second
// names (or `name` is a link to another one), a complete copy takes the name instead.
bool BackUpFile(const Text& name, const Text& backup);

}  // namespace vrk
