// A virtual X display of a test's own (Xvfb on a free number, Linux): for tests that change the
// clipboard many times, which on the shared display would meet other tests reading theirs.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "tests/support/child_process.h"

namespace vrk_test {

class OwnXDisplay {
 public:
  OwnXDisplay() {
    // Xvfb picks a free display and tells its number once it takes connections.
    ChildOptions server =
        Arguments({"-displayfd", "1", "-screen", "0", "320x200x24", "-nolisten", "tcp"});
    server.input = Stream::kNull;
    server.output = Stream::kPipe;
    server.error = Stream::kNull;
    try {
      server_ = std::make_unique<ChildProcess>("Xvfb", server);
    } catch (const std::runtime_error&) {
      return;
    }
    const std::string number = server_->ReadLine();
    if (!number.empty()) name_ = ":" + number;
  }
  // ":N", or empty when the display did not start.
  const std::string& Name() const { return name_; }

 private:
  std::unique_ptr<ChildProcess> server_;
  std::string name_;
};

}  // namespace vrk_test
