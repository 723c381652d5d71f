// The main form: its stored layout, its handlers and the run's decision.
#pragma once

#include <exception>

#include "framework/edit.h"
#include "framework/forms.h"
#include "framework/text.h"
#include "net/NMHttp.h"
#include "platform/winapi.h"

namespace vrk {

struct DeliveryParameters;

class TMain : public TForm {
 public:
  explicit TMain(TComponent* owner);
  ~TMain() override;

  // Owned by the form.
  TEdit* Edit1;
  TNMHTTP* NMHTTP1;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void NMHTTP1Success(CmdType Cmd);
  // Every exception that reaches the application: reported while the work is not done yet.
  void ApplicationException(TObject* Sender, std::exception_ptr Error);

  // The success handler's work: the fetched body into Edit1, then on to the receiving
  // program, a file or the clipboard, as parameters 2 to 7 of the command line say.
  void DeliverText(const Text& body);
  void DeliverText(const Text& body, const DeliveryParameters& parameters);

 protected:
  const char* WindowClassName() const override { return "TMain"; }

 private:
  void LoadLayout();
  void RunProxyCommand();
  // The two branches of the URL decision.
  void DownloadBinary();
  void FetchText();
  // An output name from the command line; one that starts with "\" is put in the current folder.
  static Text TargetFileName(const Text& parameter);

  // Held by the creation handler for the rest of the run.
  Text ip_;
  int port_ = 0;
  Text binaryEndings_;
  // Found by the last delivery; cleared when the next one starts.
  HWND receivingProgram_ = nullptr;
  HWND receivingControl_ = nullptr;
  // The run's work is done and its outcome shown: what fails afterwards (closing the
  // connection, showing the hidden form, the last messages) only ends the run sooner, and a box
  // would tell the user that the run failed.
  bool workDone_ = false;
};

extern TMain* Main;

}  // namespace vrk
