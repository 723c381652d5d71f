// The application object and forms: the order of creation, show and close.
#include "framework/application.h"

#include <gtest/gtest.h>

#include <exception>
#include <new>

#include <string>
#include <vector>

#include "framework/edit.h"
#include "framework/forms.h"
#include "tests/framework/message_window.h"
#ifdef _WIN32
#include "tools/box_watcher/box_watcher.h"
#endif

namespace vrk {
namespace {

// The error boxes shown while the object lives, in the form the POSIX build writes
// them to standard error; on Windows they are read from the screen and dismissed.
class ErrorBoxes {
 public:
#ifdef _WIN32
  std::string Collected() {
    watcher_.Stop();
    std::string boxes;
    for (const vrk_test::SeenBox& box : watcher_.Boxes()) {
      if (box.icon != vrk_test::BoxIcon::Error) boxes += std::string("[") + vrk_test::IconName(box.icon) + "] ";
      boxes += box.caption + "\n" + box.text + "\n";
    }
    return boxes;
  }

 private:
  vrk_test::BoxWatcher watcher_;
#else
  ErrorBoxes() { ::testing::internal::CaptureStderr(); }
  std::string Collected() { return ::testing::internal::GetCapturedStderr(); }
#endif
};

// Each test gets an application object of its own, so main-form state does not leak.
class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Application;
    Application = &app_;
    app_.SetTitle("VRK");
  }
  void TearDown() override { Application = saved_; }

  TApplication app_;
  TApplication* saved_ = nullptr;
};

std::vector<std::string> events;

class TProbeForm : public TForm {
 public:
  explicit TProbeForm(TComponent* owner) : TForm(owner) {
    OnCreate = Bind(this, &TProbeForm::Created);
    OnShow = Bind(this, &TProbeForm::Shown);
  }
  void Created(TObject*) {
    events.push_back(Application->MainForm() == nullptr ? "create:not-main" : "create:main");
    if (closeInCreate) Close();
    if (throwInCreate) throw ERangeError();
    events.push_back("create:done");
  }
  void Shown(TObject*) {
    events.push_back("show");
    Close();
  }
  static inline bool closeInCreate = false;
  static inline bool throwInCreate = false;
};

// Its show fails, so the quit that its show handler would post never comes.
class TUnshowableForm : public TForm {
 public:
  explicit TUnshowableForm(TComponent* owner) : TForm(owner) {
    OnShow = [](TObject*) { throw ERangeError(); };
  }
};

bool gaveUp = false;
// Ends a run that would wait for ever, so that the test fails instead of hanging.
void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) {
  gaveUp = true;
  PostQuitMessage(0);
}

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 1) events.push_back("message");
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(ApplicationTest, CreationRunsTheHandlerBeforeTheFormBecomesMain) {
  events.clear();
  TProbeForm::closeInCreate = true;
  TProbeForm* form = nullptr;
  app_.CreateForm(form);
  TProbeForm::closeInCreate = false;
  // Closing from the creation handler only hid the form: no quit was posted.
  EXPECT_EQ(events, (std::vector<std::string>{"create:not-main", "create:done"}));
  EXPECT_EQ(app_.MainForm(), form);
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  delete form;
}

TEST_F(ApplicationTest, RunShowsTheMainFormBeforeTheFirstMessageAndEndsOnClose) {
  events.clear();
  TProbeForm* form = nullptr;
  app_.CreateForm(form);
  HWND window = vrk_test::MakeMessageWindow("RecordingWindow", RecordingProc);
  PostMessageA(window, WM_USER + 1, 0, 0);
  app_.Run();
  EXPECT_TRUE(app_.Terminated());
  // The quit is posted after the waiting message, so that one is still dispatched.
  EXPECT_EQ(events, (std::vector<std::string>{"create:not-main", "create:done", "show", "message"}));
  EXPECT_TRUE(form->Visible());
  DestroyWindow(window);
  delete form;
}

TEST_F(ApplicationTest, MainFormThatCannotBeShownIsReportedAndEndsTheRun) {
  TUnshowableForm* form = nullptr;
  app_.CreateForm(form);
  gaveUp = false;
  const UINT_PTR watchdog = SetTimer(nullptr, 0, 5000, GiveUp);
  ErrorBoxes boxes;
  app_.Run();
  std::string report = boxes.Collected();
  KillTimer(nullptr, watchdog);
  EXPECT_FALSE(gaveUp);
  EXPECT_EQ(report, "VRK\nRange check error.\n");
  delete form;
}

TEST_F(ApplicationTest, ExceptionFromCreationIsReportedAndCreationCompletes) {
  events.clear();
  TProbeForm::throwInCreate = true;
  TProbeForm* form = nullptr;
  ErrorBoxes boxes;
  app_.CreateForm(form);
  std::string report = boxes.Collected();
  TProbeForm::throwInCreate = false;
  EXPECT_EQ(report, "VRK\nRange check error.\n");
  EXPECT_EQ(app_.MainForm(), form);
  delete form;
}

TEST_F(ApplicationTest, ExhaustedMemoryIsReportedInPlainWords) {
  ErrorBoxes boxes;
  app_.HandleException(std::make_exception_ptr(std::bad_alloc()));
  EXPECT_EQ(boxes.Collected(), "VRK\nOut of memory.\n");
}

TEST_F(ApplicationTest, OnExceptionTakesTheReportUnlessItRaises) {
  int handled = 0;
  app_.OnException = [&](TObject*, std::exception_ptr) { ++handled; };
  ErrorBoxes quiet;
  app_.HandleException(std::make_exception_ptr(ERangeError()));
  EXPECT_EQ(quiet.Collected(), "");
  EXPECT_EQ(handled, 1);
  app_.OnException = [](TObject*, std::exception_ptr) { throw EListError("List index out of bounds"); };
  ErrorBoxes boxes;
  app_.HandleException(std::make_exception_ptr(ERangeError()));
  EXPECT_EQ(boxes.Collected(), "VRK\nRange check error.\n");
}

TEST(ExceptionReport, FullStopOnlyAfterACharacterAboveTheFullStop) {
  EXPECT_EQ(TApplication::ReportText("Range check error"), Text("Range check error."));
  EXPECT_EQ(TApplication::ReportText("port 80"), Text("port 80."));
  EXPECT_EQ(TApplication::ReportText("Failed to get data for 'ProxyEnable'"),
            Text("Failed to get data for 'ProxyEnable'"));
  for (const char* kept : {"Done.", "(x)", "Stop!", "a,", "a-", ""}) {
    EXPECT_EQ(TApplication::ReportText(kept), Text(kept)) << kept;
  }
  EXPECT_EQ(TApplication::ReportText("a/"), Text("a/."));
  EXPECT_EQ(TApplication::ReportText("chyba připojení\xc3\xad"), Text("chyba připojení\xc3\xad."));
}

TEST_F(ApplicationTest, MakingTheFormsWindowLeavesTheEditSharingItsText) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form, &form);
  Text body(1 << 20, 'x');
  edit->SetText(body);
  ASSERT_NE(form.Handle(), nullptr);
  // A fetched body and the held text stay one copy until something asks for the edit's window.
  EXPECT_FALSE(edit->HandleAllocated());
  EXPECT_TRUE(edit->GetText().SharesBytesWith(body));
}

TEST_F(ApplicationTest, EditHoldsTextUntilItsWindowExistsThenKeepsIt) {
  TForm form(nullptr);
  auto* edit = new TEdit(&form, &form);
  edit->SetText(Text("line 1\r\nline 2\0tail", 19));
  EXPECT_EQ(edit->GetText(), Text("line 1\r\nline 2"));
  Text big(100000, 'x');
  edit->SetText(big);
  EXPECT_TRUE(edit->GetText().SharesBytesWith(big));  // no copy while there is no window
  EXPECT_FALSE(edit->HandleAllocated());
  HWND window = edit->Handle();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(form.HandleAllocated());
  EXPECT_EQ(GetParent(window), form.Handle());
  EXPECT_EQ(edit->GetText(), big);  // no length limit once the window is made
  edit->SetText(Text("a\0b", 3));
  EXPECT_EQ(edit->GetText(), Text("a"));
}

}  // namespace
}  // namespace vrk
