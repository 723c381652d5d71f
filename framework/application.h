// The application object: start-up, the message loop and the standard exception report.
#pragma once

#include <exception>
#include <string_view>

#include "framework/component.h"
#include "framework/events.h"
#include "framework/exceptions.h"
#include "framework/text.h"
#include "framework/window_receiver.h"

namespace vrk {

class TForm;

using TExceptionEvent = TEvent<void(TObject* Sender, std::exception_ptr Error)>;

class TApplication : public TComponent, private WindowReceiver {
 public:
  TApplication();
  ~TApplication() override;

  // Initialises COM for this thread (single-threaded apartment): the URL download service needs it.
  void Initialize();

  // The caption of the exception report. Kept in place, so that setting it needs no memory and
  // a report made when memory has run out still has it; longer titles are cut.
  const char* Title() const noexcept { return title_; }
  void SetTitle(std::string_view title) noexcept;

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
  // messages until the quit message. A main form that cannot be shown is reported and ends
  // the run: only its show handler would have ended it.
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
  // character above ".". It never raises: when the report cannot be made, the message is
  // shown as it stands, and memory that ran out is told by a fixed text that needs none.
  void ShowException(const Exception& error) noexcept;
  void ShowException(std::exception_ptr error) noexcept;
  // Every exception that reaches the application: to OnException when one is assigned (a
  // handler that raises leaves the error to the standard report), else the standard report.
  void HandleException(std::exception_ptr error) noexcept;
  static Text ReportText(const Text& message);

  TExceptionEvent OnException;

  // The application's own hidden window; made on first request.
  HWND Handle();

 private:
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  bool ProcessMessage();
  void ShowMainForm();

  void ShowOutOfMemory() noexcept;

  char title_[256] = {};
  TForm* mainForm_ = nullptr;
  HWND handle_ = nullptr;
  bool terminated_ = false;
  bool showMainFormOnRestore_ = false;
};

// The one application object of the process; created before anything else runs.
extern TApplication* Application;

}  // namespace vrk
