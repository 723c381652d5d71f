// Whatever this suite mounts (small disks, images) is seen by it and its children alone: it
// enters a mount namespace of its own before anything else runs, while it is still one
// thread. Without the right to, it stays where it is, and the tests that mount skip.
#include <sched.h>
#include <sys/mount.h>

namespace {

const bool kPrivate = [] {
  return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}();

}  // namespace
