// The application object: start-up, the message loop and the standard exception report.
#pragma once

#include <exception>

#include "framework/component.h"
#include "framework/exceptions.h"
#include "framework/text.h"
#include "framework/window_receiver.h"

namespace vrk {

class TForm;

class TApplication : public TComponent, private WindowReceiver {
 public:
  TApplication();
  ~TApplication() override;

  // Initialises COM for this thread (single-threaded apartment): the URL download service needs it.
  void Initialize();

  const Text& Title() const noexcept { return title_; }
  void SetTitle(const Text& title) { title_ = title; }

  // Creates a form owned by the application. Its creation handler runs inside
  // the creation; the first form created becomes the main form only afterwards.
  template <class Form>
  void CreateForm(Form*& reference) {
    auto* form = new Form(this);
    reference = form;
    form->AfterConstruction();
    if (mainForm_ == nullptr) mainForm_ = form;
  }

  TForm* MainForm() const noexcept { return mainForm_; }

  // Shows the main form (unless started minimised), then takes and dispatches
  // messages until the quit message.
  void Run();
  // Dispatches what is waiting in the queue and returns.
  void ProcessMessages();
  // Posts the quit message.
  void Terminate();
  bool Terminated() const noexcept { return terminated_; }
  void Minimize();
  void Restore();

  // The standard exception report: message box owned by the application's
  // window, the title as caption, the error icon, a full stop after a final
  // character above ".".
  void ShowException(const Exception& error);
  void HandleException(std::exception_ptr error);
  static Text ReportText(const Text& message);

  // The application's own hidden window; made on first request.
  HWND Handle();

 private:
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  bool ProcessMessage();
  void ShowMainForm();

  Text title_;
  TForm* mainForm_ = nullptr;
  HWND handle_ = nullptr;
  bool terminated_ = false;
  bool showMainFormOnRestore_ = false;
};

// The one application object of the process; created before anything else runs.
extern TApplication* Application;

}  // namespace vrk
