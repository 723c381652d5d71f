// The main form: its stored layout, its handlers and the run's decision.
#pragma once

#include "framework/edit.h"
#include "framework/forms.h"
#include "framework/text.h"

namespace vrk {

class TMain : public TForm {
 public:
  explicit TMain(TComponent* owner);

  // Owned by the form. NMHTTP1, the HTTP client, takes its place beside Edit1.
  TEdit* Edit1;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);

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
};

extern TMain* Main;

}  // namespace vrk
