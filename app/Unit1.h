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
  // The two branches of the URL decision.
  void DownloadBinary();
  void FetchText();

  // Held by the creation handler for the rest of the run.
  Text ip_;
  int port_ = 0;
  Text binaryEndings_;
};

extern TMain* Main;

}  // namespace vrk
