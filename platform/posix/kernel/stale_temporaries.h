// What killed runs left beside a target: temporaries of the tool's own pattern whose writer
// no longer runs.
#pragma once

#include <string>

namespace vrk_posix {

// ".NAME.PID-N.tmp" in the target's folder, for `target`'s own name.
std::string TemporaryName(const std::string& target);

// Removes the temporaries for `target` whose process is gone; those of running processes,
// this one included, stay.
void RemoveStaleTemporaries(const std::string& target);

}  // namespace vrk_posix
