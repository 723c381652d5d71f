// A small file system of its own (tmpfs) for one test, so that a full disk is made rather
// than waited for. Mounting needs root, which CI has: there a failed mount fails the test.
#pragma once

#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace vrk_test {

class SmallDisk {
 public:
  SmallDisk(std::string path, std::size_t mebibytes) : path_(std::move(path)) {
    std::filesystem::create_directories(path_);
    const std::string options = "size=" + std::to_string(mebibytes) + "m";
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    error_ = errno;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  const std::string& Path() const { return path_; }
  bool Mounted() const { return mounted_; }
  std::string Why() const { return "cannot mount a tmpfs: " + std::string(std::strerror(error_)); }

  // Takes every free byte, in a file of its own.
  void Fill() const {
    std::ofstream filler(path_ + "/filler", std::ios::binary);
    const std::string block(1 << 16, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
    filler.clear();
    // What the last block left over, byte by byte.
    while (filler.put('f') && filler.flush()) {
    }
  }

 private:
  std::string path_;
  bool mounted_ = false;
  int error_ = 0;
};

}  // namespace vrk_test

// Skips where the test may not mount, but never on CI.
#define VRK_REQUIRE_MOUNTED(disk)                               \
  do {                                                          \
    if (!(disk).Mounted()) {                                    \
      if (std::getenv("CI") != nullptr) FAIL() << (disk).Why(); \
      GTEST_SKIP() << (disk).Why();                             \
    }                                                           \
  } while (false)

#endif
