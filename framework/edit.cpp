#include "framework/edit.h"

#include "framework/exceptions.h"
#include "framework/forms.h"

namespace vrk {

TEdit::TEdit(TComponent* owner, TForm* parent) : TComponent(owner), parent_(parent) {}

TEdit::~TEdit() {
  if (handle_ != nullptr && IsWindow(handle_)) DestroyWindow(handle_);
}

void TEdit::SetText(const Text& text) {
  if (handle_ != nullptr) {
    SendMessageA(handle_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return;
  }
  // The held text shares the caller's bytes where it can, a large one cut at a zero too.
  text_ = text.Left(text.LengthBeforeZero());
}

Text TEdit::GetText() const {
  if (handle_ == nullptr) return text_;
  int length = static_cast<int>(SendMessageA(handle_, WM_GETTEXTLENGTH, 0, 0));
  Text result;
  if (length <= 0) return result;
  result.SetLength(static_cast<std::size_t>(length));
  int copied = static_cast<int>(SendMessageA(handle_, WM_GETTEXT, static_cast<WPARAM>(length) + 1,
                                             reinterpret_cast<LPARAM>(result.UniqueData())));
  result.SetLength(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return result;
}

void TEdit::CreateWindowIn(HWND parentWindow) {
  if (handle_ != nullptr || parentWindow == nullptr) return;
  // Made empty and filled once the limit is lifted: a text longer than the default limit
  // given at creation makes the edit control refuse to be created at all.
  handle_ = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, Left, Top, Width,
                            Height, parentWindow, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (handle_ != nullptr) {
    SendMessageA(handle_, EM_LIMITTEXT, 0, 0);
    if (!text_.IsEmpty()) {
      SendMessageA(handle_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text_.c_str()));
    }
    text_.Clear();
  }
}

HWND TEdit::Handle() {
  // Made only when asked for: until then the held text shares the bytes it was given,
  // where a window would hold a copy of its own.
  if (handle_ == nullptr) CreateWindowIn(parent_->Handle());
  return handle_;
}

void TEdit::SelectAll() { SendMessageA(Handle(), EM_SETSEL, 0, static_cast<LPARAM>(-1)); }

void TEdit::CopyToClipboard() {
  HWND window = Handle();
  // WM_COPY has no result: a clipboard that cannot be reached shows only in the last error,
  // and the user must hear of it rather than find the old clipboard content later.
  SetLastError(ERROR_SUCCESS);
  SendMessageA(window, WM_COPY, 0, 0);
  if (GetLastError() == ERROR_CLIPBOARD_NOT_OPEN) {
    // The system's words for it, where it has any (on Linux: why the last clipboard tool
    // refused), follow in brackets.
    Text message = "Cannot copy the text to the clipboard: no clipboard can be reached";
    char reason[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  ERROR_CLIPBOARD_NOT_OPEN, 0, reason, sizeof reason, nullptr);
    if (length >= sizeof reason) length = 0;
    while (length > 0 && (static_cast<unsigned char>(reason[length - 1]) <= ' ' || reason[length - 1] == '.')) {
      --length;
    }
    if (length > 0) message = message + " (" + Text(reason, length) + ")";
    throw Exception(message);
  }
}

}  // namespace vrk
