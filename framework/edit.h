// The single-line edit control: holds its text in memory until its window exists.
#pragma once

#include "framework/component.h"
#include "framework/text.h"
#include "platform/winapi.h"

namespace vrk {

class TForm;

class TEdit : public TComponent {
 public:
  TEdit(TComponent* owner, TForm* parent);
  ~TEdit() override;

  int Left = 0;
  int Top = 0;
  int Width = 121;
  int Height = 21;

  // Setting hands over a zero-terminated text: the held text ends at its first zero byte.
  void SetText(const Text& text);
  Text GetText() const;

  // Makes the window (and its form's) on first request; EM_LIMITTEXT 0 lifts the length limit.
  HWND Handle();
  bool HandleAllocated() const noexcept { return handle_ != nullptr; }
  // Makes the window inside the given parent window (once).
  void CreateWindowIn(HWND parentWindow);

  void SelectAll();
  // The selection onto the clipboard; raises Exception when no clipboard can be reached.
  void CopyToClipboard();

 private:
  TForm* parent_;
  HWND handle_ = nullptr;
  Text text_;
};

}  // namespace vrk
