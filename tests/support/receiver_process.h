// The receiving program of the Windows tests (tools/receiver) started as a process of its
// own: a "Trovane" window (or one of the title given, in the ANSI code page) whose "Pocasi"
// edit control records what it is sent. Windows only.
#pragma once

#include <chrono>
#include <string>

#include "platform/winapi.h"
#include "tests/support/child_process.h"

namespace vrk_test {

class ReceiverProcess {
 public:
  ReceiverProcess(const std::string& program, const std::string& recordFile,
                  const std::string& title = "Trovane")
      : title_(title), process_(program, Arguments({recordFile, "60", title})) {}
  // Closed as a user would close it; killed when it has not ended within 10 seconds.
  ~ReceiverProcess() {
    if (HWND window = FindWindowA(nullptr, title_.c_str())) PostMessageA(window, WM_CLOSE, 0, 0);
    process_.Wait(std::chrono::seconds(10));
  }
  ReceiverProcess(const ReceiverProcess&) = delete;
  ReceiverProcess& operator=(const ReceiverProcess&) = delete;

  // Its window once it holds its edit control; null when that does not come within 20 seconds.
  HWND Window() {
    for (int attempt = 0; attempt < 200; ++attempt) {
      HWND window = FindWindowA(nullptr, title_.c_str());
      if (window != nullptr && FindWindowExA(window, nullptr, "Edit", nullptr) != nullptr) {
        return window;
      }
      if (process_.Wait(std::chrono::milliseconds(100))) return nullptr;
    }
    return nullptr;
  }

 private:
  std::string title_;
  ChildProcess process_;
};

}  // namespace vrk_test
