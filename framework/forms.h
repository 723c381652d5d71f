// Forms: top-level windows with creation and show events, made lazily.
#pragma once

#include "framework/component.h"
#include "framework/events.h"
#include "framework/text.h"
#include "framework/window_receiver.h"

namespace vrk {

enum class TWindowState { Normal, Minimized, Maximized };
enum class TFormBorderStyle { None, Sizeable };

class TForm : public TComponent, protected WindowReceiver {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;

  // Runs the creation handler. An exception from it is shown by the standard
  // exception report and the creation completes anyway.
  void AfterConstruction();

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;

  // Stored layout.
  Text Caption = "";
  TFormBorderStyle BorderStyle = TFormBorderStyle::Sizeable;
  int Left = 0;
  int Top = 0;
  int ClientWidth = 0;
  int ClientHeight = 0;
  Text FontName = "MS Sans Serif";

  // Makes the window on first request.
  HWND Handle();
  bool HandleAllocated() const noexcept { return handle_ != nullptr; }

  bool Visible() const noexcept { return visible_; }
  // Shows the form and raises its show event.
  void Show();
  void Hide();
  // The main form ends the application; any other form (or the form still in
  // its creation handler) is only hidden.
  void Close();

  TWindowState WindowState() const noexcept { return windowState_; }
  void SetWindowState(TWindowState state);

 protected:
  LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  virtual const char* WindowClassName() const { return "TForm"; }

 private:
  HWND handle_ = nullptr;
  bool visible_ = false;
  TWindowState windowState_ = TWindowState::Normal;
};

}  // namespace vrk
