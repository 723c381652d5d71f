// Delivery into another process's edit control: the receiver program runs beside the test
// with a window titled "Trovane" holding an edit control "Pocasi", and records what it gets.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <string>

#include "app/Unit1.h"
#include "app/settings.h"
#include "app/text_delivery.h"
#include "platform/winapi.h"
#include "tests/app/built_executable.h"
#include "tests/platform/scratch_folder.h"

namespace vrk {
namespace {

std::string ReceiverProgram() { return testing::WindowsPath(VRK_RECEIVER); }

class Receiver {
 public:
  explicit Receiver(const std::string& recordFile) {
    std::string line = "\"" + ReceiverProgram() + "\" \"" + recordFile + "\" 60";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_) != FALSE;
  }
  ~Receiver() {
    if (!started_) return;
    if (HWND window = FindReceivingProgram("Trovane")) PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  // Its window once it holds its edit control; null when that does not come within 20 seconds.
  HWND Window() const {
    if (!started_) return nullptr;
    for (int attempt = 0; attempt < 200; ++attempt) {
      HWND window = FindReceivingProgram("Trovane");
      if (window != nullptr && FindReceivingControl(window, "Pocasi") != nullptr) return window;
      if (WaitForSingleObject(process_.hProcess, 100) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
  }

 private:
  bool started_ = false;
  PROCESS_INFORMATION process_{};
};

// Waits up to 10 seconds for the record to hold `expected`; returns what it last held.
std::string AwaitRecord(const testing::ScratchFolder& folder, const std::string& expected) {
  std::string record;
  for (int attempt = 0; attempt < 100; ++attempt) {
    record = folder.Get("record.txt");
    if (record == expected) break;
    Sleep(100);
  }
  return record;
}

TEST(ReceiverDelivery, TextReachesTheOtherProgramsEditControl) {
  testing::ScratchFolder folder;
  Receiver receiver(folder.Inside("record.txt"));
  HWND window = receiver.Window();
  ASSERT_NE(window, nullptr) << "the receiver did not start: " << ReceiverProgram();

  ProgramSetting = "TROVANE";
  EditSetting = "pocasi";
  TMain form(nullptr);
  const std::string text = "Zitra jasno\r\n25 stupnu";
  form.DeliverText(text.c_str(), DeliveryParameters{"", "", {}});
  EXPECT_EQ(AwaitRecord(folder, text), text);

  // Once the control holds other text, a later delivery finds no control and stays silent.
  form.DeliverText("again", DeliveryParameters{"", "", {}});
  Sleep(300);
  EXPECT_EQ(folder.Get("record.txt"), text);
  ProgramSetting = "Trovane";
  EditSetting = "Pocasi";
}

}  // namespace
}  // namespace vrk
#endif
