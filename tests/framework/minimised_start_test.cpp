// A run started minimised: the main form waits until the application is restored.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "framework/application.h"
#include "framework/forms.h"
#include "tests/framework/message_window.h"

namespace vrk {
namespace {

std::vector<std::string> happenings;

class TClosingForm : public TForm {
 public:
  explicit TClosingForm(TComponent* owner) : TForm(owner) {
    OnShow = Bind(this, &TClosingForm::Shown);
  }
  void Shown(TObject*) {
    happenings.push_back("show");
    Close();
  }
};

#ifndef _WIN32
// Windows takes the show state from the starting program (tests/app/show_state_windows.cpp
// starts the tool that way); the emulation takes it from VRK_SHOW_STATE.
// Restores the application from inside the running loop, as the user's click would.
LRESULT CALLBACK RestoringProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 2) {
    happenings.push_back(IsIconic(Application->Handle()) ? "restore:minimised" : "restore:not");
    Application->Restore();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(MinimisedStart, MainFormIsShownOnlyWhenTheApplicationIsRestored) {
  TApplication app;
  TApplication* saved = Application;
  Application = &app;
  setenv("VRK_SHOW_STATE", "7", 1);  // SW_SHOWMINNOACTIVE
  happenings.clear();

  TClosingForm* form = nullptr;
  app.CreateForm(form);
  HWND restorer = vrk_test::MakeMessageWindow("RestoringWindow", RestoringProc);
  PostMessageA(restorer, WM_USER + 2, 0, 0);
  app.Run();

  unsetenv("VRK_SHOW_STATE");
  EXPECT_EQ(happenings, (std::vector<std::string>{"restore:minimised", "show"}));
  EXPECT_TRUE(form->Visible());
  DestroyWindow(restorer);
  delete form;
  Application = saved;
}
#endif

TEST(MinimisedStart, AWindowsOwnCreationDoesNotCountAsARestore) {
  TApplication app;
  TApplication* saved = Application;
  Application = &app;
  TClosingForm* form = nullptr;
  app.CreateForm(form);
  app.Minimize();
  app.ProcessMessages();
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(IsIconic(app.Handle()));
  app.Restore();
  EXPECT_TRUE(form->Visible());
  MSG quit;  // the show handler's close asked to end the run; later tests must not see it
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  delete form;
  Application = saved;
}

}  // namespace
}  // namespace vrk
