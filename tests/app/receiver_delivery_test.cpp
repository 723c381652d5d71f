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
#include "tests/receiver_process.h"

namespace vrk {
namespace {

std::string ReceiverProgram() { return testing::WindowsPath(VRK_RECEIVER); }

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
  testing::ReceiverProcess receiver(ReceiverProgram(), folder.Inside("record.txt"));
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
