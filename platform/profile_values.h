// Several keys of one section of a profile (ini) file written as one change. Two such changes
// of a file made at the same time, by this process or another, never mix: the file then holds
// the values of one of them for all of its keys. On Linux the emulation replaces the file once;
// on Windows the profile writes run under a mutex that every run of the tool shares.
#pragma once

#include <span>

namespace vrk {

struct ProfileValue {
  const char* key;
  const char* value;
};

// False, with the thread's last error set, when the file is not written.
bool WriteProfileValues(const char* section, std::span<const ProfileValue> values,
                        const char* fileName);

}  // namespace vrk
