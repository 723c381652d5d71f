#include "app/Unit1.h"

#include "app/classify.h"
#include "app/messages.h"
#include "app/settings.h"
#include "framework/application.h"
#include "platform/command_line.h"
#include "platform/ini_file.h"
#include "platform/text_rules.h"
#include "platform/winapi.h"

namespace vrk {

TMain* Main = nullptr;

namespace {
void ShowBox(const char* text, const char* caption, UINT icon) {
  MessageBoxA(nullptr, text, caption, MB_OK | icon);
}
}  // namespace

TMain::TMain(TComponent* owner) : TForm(owner), Edit1(nullptr), NMHTTP1(nullptr) {
  LoadLayout();
  // Last: a form that failed to be made must not be called.
  Application->OnException = Bind(this, &TMain::ApplicationException);
}

TMain::~TMain() { Application->OnException.Clear(); }

void TMain::ApplicationException(TObject*, std::exception_ptr Error) {
  if (!workDone_) Application->ShowException(Error);
}

void TMain::LoadLayout() {
  SetName("Main");
  Caption = "Main";
  BorderStyle = TFormBorderStyle::None;
  Left = -200;
  Top = 321;
  ClientWidth = 119;
  ClientHeight = 208;
  FontName = "MS Sans Serif";

  Edit1 = new TEdit(this, this);
  Edit1->SetName("Edit1");
  Edit1->Left = 32;
  Edit1->Top = 0;
  Edit1->Width = 65;
  Edit1->Height = 21;

  NMHTTP1 = new TNMHTTP(this);
  NMHTTP1->SetName("NMHTTP1");
  NMHTTP1->Port = 0;
  NMHTTP1->ReportLevel = 0;
  NMHTTP1->Body = "Default.htm";
  NMHTTP1->Header = "Head.txt";
  NMHTTP1->InputFileMode = false;
  NMHTTP1->OutputFileMode = false;
  NMHTTP1->ProxyPort = 0;
  NMHTTP1->OnSuccess = Bind(this, &TMain::NMHTTP1Success);

  OnCreate = Bind(this, &TMain::FormCreate);
  OnShow = Bind(this, &TMain::FormShow);
}

void TMain::FormCreate(TObject*) {
  {
    TIniFile settingsFile(SettingsFileName());
    Settings settings = ReadSettings(settingsFile);
    ip_ = settings.IP;
    port_ = settings.Port;
    URLSetting = settings.URL;
    ProgramSetting = settings.Program;
    EditSetting = settings.Edit;
    binaryEndings_ = settings.ASCII;
  }

  if (URLSetting.IsEmpty() && ParamCount() == 0) {
    ShowBox(messages::kNoParameters, messages::kWarningCaption, MB_ICONERROR);
  } else if (Text command = ParamStr(1); SameBytes(command, "ver")) {
    ShowBox(messages::kVersion, messages::kVersionCaption, MB_ICONINFORMATION);
  } else if (SameBytes(command, "help")) {
    ShowBox(messages::kHelp, messages::kHelpCaption, MB_ICONINFORMATION);
  } else if (SameBytes(command, "nast") || SameBytes(command, "proxy")) {
    RunProxyCommand();
  } else if (command.IsEmpty()) {
    ShowBox(messages::kEmptyFirstParameter, messages::kWarningCaption, MB_ICONERROR);
  } else if (IsBinaryUrl(command, binaryEndings_)) {
    DownloadBinary();
  } else {
    FetchText();
  }
  workDone_ = true;
}

void TMain::FormShow(TObject*) { Close(); }

}  // namespace vrk
