// Windows writes a profile one key at a time; the keys of one change are written under a
// mutex that every run of the tool shares, so that two runs never write in turns.
#include "platform/profile_values.h"

#include "platform/winapi.h"

namespace vrk {

namespace {

// One name for every file: the tool's writes are few and short, so runs writing different
// files lose nothing by waiting for each other.
constexpr const char* kMutexName = "VRK.ProfileValues";
// Longer than any write takes; a run that holds the mutex longer is stuck, and a write that
// did not happen is better than one that mixes.
constexpr DWORD kWaitMilliseconds = 30000;

}  // namespace

bool WriteProfileValues(const char* section, std::span<const ProfileValue> values,
                        const char* fileName) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
  if (mutex == nullptr) return false;
  // Abandoned: a run ended while writing; the file is whole all the same, and now ours.
  const DWORD waited = WaitForSingleObject(mutex, kWaitMilliseconds);
  bool written = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  if (written) {
    for (const ProfileValue& entry : values) {
      if (!WritePrivateProfileStringA(section, entry.key, entry.value, fileName)) {
        written = false;
        break;
      }
    }
    ReleaseMutex(mutex);
  } else if (waited == WAIT_TIMEOUT) {
    SetLastError(ERROR_TIMEOUT);
  }
  CloseHandle(mutex);
  return written;
}

}  // namespace vrk
