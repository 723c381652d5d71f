// Delivery into another process's edit control: the receiver program runs beside the test
// with a window titled "Trovane" holding an edit control "Pocasi", and records what it gets.
#include <gtest/gtest.h>

#include <string>

#include "app/Unit1.h"
#include "app/settings.h"
#include "app/text_delivery.h"
#include "platform/winapi.h"
#include "tests/support/eventually.h"
#include "tests/support/host.h"
#include "tests/support/receiver_process.h"
#include "tests/support/scratch_folder.h"

namespace vrk {
namespace {

std::string ReceiverProgram() { return vrk_test::NativePath(VRK_RECEIVER); }

TEST(ReceiverDelivery, TextReachesTheOtherProgramsEditControl) {
  vrk_test::ScratchFolder folder;
  vrk_test::ReceiverProcess receiver(ReceiverProgram(), folder.Inside("record.txt"));
  HWND window = receiver.Window();
  ASSERT_NE(window, nullptr) << "the receiver did not start: " << ReceiverProgram();

  ProgramSetting = "TROVANE";
  EditSetting = "pocasi";
  TMain form(nullptr);
  const std::string text = "Zitra jasno\r\n25 stupnu";
  form.DeliverText(text.c_str(), DeliveryParameters{"", "", {}});
  vrk_test::Eventually([&] { return folder.Get("record.txt") == text; });
  EXPECT_EQ(folder.Get("record.txt"), text);

  // Once the control holds other text, a later delivery finds no control and stays silent.
  form.DeliverText("again", DeliveryParameters{"", "", {}});
  Sleep(300);
  EXPECT_EQ(folder.Get("record.txt"), text);
  ProgramSetting = "Trovane";
  EditSetting = "Pocasi";
}

}  // namespace
}  // namespace vrk
