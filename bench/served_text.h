// The texts the fetch benchmarks serve, and the loopback file server that serves them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/child_process.h"

namespace vrk::bench {

// Lines of printable characters: a text without zero bytes, as the shared-copy goal requires.
bool WriteText(const std::filesystem::path& path, std::uintmax_t size);

// The file server over a folder; Base() is empty when it did not start.
class ServedFolder {
 public:
  ServedFolder(const std::string& fixture, const std::filesystem::path& folder);
  const std::string& Base() const { return base_; }
  void Stop() { server_.Stop(); }

 private:
  vrk_test::ChildProcess server_;
  std::string base_;  // "http://127.0.0.1:PORT/"
};

}  // namespace vrk::bench
