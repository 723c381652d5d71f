// The release archive of this build, as scripts/test.sh unpacks it before the suites run:
// VRK_RELEASE_FOLDER names the archive's top folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/host.h"

namespace vrk_test {

// The folder in the form this build's file calls take; empty when no archive was unpacked.
inline std::string ReleaseFolder() {
  const char* folder = std::getenv("VRK_RELEASE_FOLDER");
  return folder == nullptr || *folder == '\0' ? std::string() : NativePath(folder);
}

}  // namespace vrk_test

// In CI the archive must be there; a developer's run without one skips the test.
#define VRK_REQUIRE_RELEASE_FOLDER(folder)                                           \
  do {                                                                               \
    if ((folder).empty()) {                                                          \
      if (std::getenv("CI") != nullptr) FAIL() << "VRK_RELEASE_FOLDER is not set";    \
      GTEST_SKIP() << "no release archive unpacked (scripts/test.sh unpacks them)"; \
    }                                                                                \
  } while (false)
