#include "app/text_delivery.h"

#include "app/Unit1.h"
#include "app/settings.h"
#include "framework/edit.h"
#include "framework/exceptions.h"
#include "platform/command_line.h"
#include "platform/file_backup.h"
#include "platform/files.h"
#include "platform/pending_file.h"
#include "platform/text_rules.h"
#include "platform/text_spool.h"

namespace vrk {

namespace {

constexpr std::size_t kTitlePositions = 10;

// A 256-byte buffer with a maximum count of 255: at most 254 characters come back.
Text WindowText(HWND window) {
  char buffer[256] = {};
  int length = GetWindowTextA(window, buffer, 255);
  return Text(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

struct Search {
  const Text* wanted;
  HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  if (!SameTextBounded(WindowText(window), *search->wanted, kTitlePositions)) return TRUE;
  search->found = window;
  return FALSE;
}

BOOL CALLBACK MatchControl(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  if (!SameTextIgnoreCase(WindowText(window), *search->wanted)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

DeliveryParameters DeliveryParameters::FromCommandLine() {
  return DeliveryParameters{ParamStr(2), ParamStr(3),
                            {ParamStr(4), ParamStr(5), ParamStr(6), ParamStr(7)}};
}

DeliveryKind ChooseDelivery(bool programFound, const Text& mode) {
  if (programFound && mode.IsEmpty()) return DeliveryKind::Window;
  return SameBytes(mode, "W") ? DeliveryKind::File : DeliveryKind::Clipboard;
}

HWND FindReceivingProgram(const Text& program) {
  Search search{&program, nullptr};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindReceivingControl(HWND program, const Text& control) {
  Search search{&control, nullptr};
  EnumChildWindows(program, MatchControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void DeliverToWindow(HWND control, const Text& text) {
  SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

Text DeliveryFileName(const Text& name, const std::array<Text, 4>& moreWords) {
  Text fullName = name;
  for (const Text& word : moreWords) {
    if (!word.IsEmpty()) fullName = fullName + " " + word;
  }
  return fullName;
}

namespace {

Text CannotCreate(const Text& name) { return FormatText("Cannot create file %s", {name}); }

// A device or a pipe takes the text as it comes; it is never renamed or replaced.
void DeliverToDevice(const Text& name, const Text& text) {
  HANDLE device = FileOpenForWriting(name);
  if (device == INVALID_HANDLE_VALUE) throw EFileCreateError(CannotCreate(name));
  const bool written = FileWrite(device, text.c_str(), text.Length());
  FileClose(device);
  if (!written) throw EWriteError("Stream write error");
}

// The text complete in a file beside its target, waiting for its name: a large one already
// waits there, any other is written there now.
std::unique_ptr<PendingFile> WrittenBeside(const Text& name, const Text& text) {
  std::unique_ptr<PendingFile> file = TakeSpooledFile(text, name);
  if (file) return file;
  file = PendingFile::Create(name.c_str(), {});
  if (!file) throw EFileCreateError(CannotCreate(name));
  if (!file->Append(text.c_str(), text.Length())) throw EWriteError("Stream write error");
  return file;
}

// The ".old" of the name as given, made once the new text is ready. A file that is about to
// be replaced keeps its name until the new one takes it; one of another name (the further
// words made the target) moves.
class Backup {
 public:
  Backup(const Text& name, const Text& fullName) : name_(name), old_(ChangeFileExt(name, ".old")) {
    if (IsDevice(name) || !FileExists(name)) return;
    sameFile_ = name == fullName;
    made_ = sameFile_ ? BackUpFile(name, old_) : RenameFile(name, old_);
  }

  // A failed delivery gives a moved file its name back, if nobody has taken the name since.
  // A second name is never removed: another run may have replaced the file in the meantime,
  // and the backup may be its only copy; beside an unchanged file it loses nothing.
  void Undo() const {
    if (made_ && !sameFile_) RenameFile(old_, name_);
  }

 private:
  Text name_;
  Text old_;
  bool sameFile_ = false;
  bool made_ = false;
};

}  // namespace

void DeliverToFile(const Text& name, const std::array<Text, 4>& moreWords, const Text& text) {
  const Text fullName = DeliveryFileName(name, moreWords);
  if (IsDevice(fullName)) {
    DeliverToDevice(fullName, text);
    return;
  }
  // Taken first: handing over a spooled text empties every text over it.
  const std::size_t length = text.Length();
  std::unique_ptr<PendingFile> file = WrittenBeside(fullName, text);
  // The backup is made on the name as given, before the further words join it.
  const Backup backup(name, fullName);
  if (!file->Commit(fullName.c_str(), length, PendingFile::Naming::Replace)) {
    if (!file->Named()) backup.Undo();
    throw EWriteError("Stream write error");
  }
}

void DeliverToClipboard(TEdit& holder) {
  holder.SelectAll();
  holder.CopyToClipboard();
}

void TMain::DeliverText(const Text& body) {
  DeliverText(body, DeliveryParameters::FromCommandLine());
}

void TMain::DeliverText(const Text& body, const DeliveryParameters& parameters) {
  receivingProgram_ = nullptr;
  receivingControl_ = nullptr;
  Edit1->SetText(body);
  // Only a delivery without a mode can go to the program, so no other looks for it: on Linux
  // the look asks every program on the desktop.
  if (parameters.Mode.IsEmpty()) receivingProgram_ = FindReceivingProgram(ProgramSetting);

  switch (ChooseDelivery(receivingProgram_ != nullptr, parameters.Mode)) {
    case DeliveryKind::Window:
      receivingControl_ = FindReceivingControl(receivingProgram_, EditSetting);
      // A program without the control gets nothing, and the form stays as it is.
      if (receivingControl_ == nullptr) return;
      DeliverToWindow(receivingControl_, Edit1->GetText());
      break;
    case DeliveryKind::File:
      DeliverToFile(TargetFileName(parameters.FileName), parameters.MoreWords, Edit1->GetText());
      break;
    case DeliveryKind::Clipboard:
      DeliverToClipboard(*Edit1);
      break;
  }
  Close();
}

}  // namespace vrk
