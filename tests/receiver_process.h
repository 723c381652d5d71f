// The receiving program of the Windows tests (tools/receiver) started as a process of its
// own: a "Trovane" window whose "Pocasi" edit control records what it is sent.
#pragma once
#ifdef _WIN32

#include <string>

#include "platform/winapi.h"

namespace vrk::testing {

class ReceiverProcess {
 public:
  ReceiverProcess(const std::string& program, const std::string& recordFile) {
    std::string line = "\"" + program + "\" \"" + recordFile + "\" 60";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_) != FALSE;
  }
  ~ReceiverProcess() {
    if (!started_) return;
    if (HWND window = FindWindowA(nullptr, "Trovane")) PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  ReceiverProcess(const ReceiverProcess&) = delete;
  ReceiverProcess& operator=(const ReceiverProcess&) = delete;

  // Its window once it holds its edit control; null when that does not come within 20 seconds.
  HWND Window() const {
    if (!started_) return nullptr;
    for (int attempt = 0; attempt < 200; ++attempt) {
      HWND window = FindWindowA(nullptr, "Trovane");
      if (window != nullptr && FindWindowExA(window, nullptr, "Edit", nullptr) != nullptr) {
        return window;
      }
      if (WaitForSingleObject(process_.hProcess, 100) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
  }

 private:
  bool started_ = false;
  PROCESS_INFORMATION process_{};
};

}  // namespace vrk::testing

#endif
