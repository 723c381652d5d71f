// "nast" and "proxy": the user's proxy setting, reported and stored for later fetches.
#include "app/Unit1.h"
#include "app/messages.h"
#include "app/settings.h"
#include "framework/exceptions.h"
#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/registry.h"
#include "platform/text_rules.h"

namespace vrk {

namespace {
const char* const kInternetSettingsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\";

void ShowInformation(const Text& text) {
  MessageBoxA(nullptr, text.c_str(), messages::kProxyCaption, MB_OK | MB_ICONINFORMATION);
}
}  // namespace

void TMain::RunProxyCommand() {
  // Host and port, as "host:port"; ":0" when no proxy is used.
  Text proxy;
  {
    TRegistry registry;
    registry.OpenKey(kInternetSettingsKey, false);
    if (registry.ReadInteger("ProxyEnable") == 0) {
      ShowInformation(messages::kProxyOff);
      proxy = ":0";
    } else {
      proxy = registry.ReadString("ProxyServer");
      registry.CloseKey();
      if (!proxy.IsEmpty()) {
        Text host = Field(proxy, ':', 1);
        Text port = Field(proxy, ':', 2);
        StrToInt(port);  // a port that is no number is reported before anything is shown
        ShowInformation(messages::kProxyOnPrefix + host + messages::kProxyOnPort + port);
      } else {
        ShowInformation(messages::kProxyWithoutAddress);
      }
    }
  }
  const Text settingsName = SettingsFileName();
  if (settingsName.IsEmpty()) {
    // The program's own path could not be read: the box names the file the user would look
    // for, beside the program as it was started.
    const std::vector<Text> tokens = SplitCommandLine(GetCommandLineA());
    const Text started = tokens.empty() || tokens[0].IsEmpty() ? Text("vrk") : tokens[0];
    TIniFile::RaiseUnwritable(ChangeFileExt(started, ".ini"));
  }
  TIniFile settingsFile(settingsName);
  const Text host = Field(proxy, ':', 1);
  int port = 0;
  try {
    port = StrToInt(Field(proxy, ':', 2));
  } catch (const EConvertError&) {
    // A server without an address: the host is cleared before the port is reported.
    settingsFile.WriteString("Main", "IP", host);
    throw;
  }
  // One change, so that two runs at once never leave one's host with the other's port.
  settingsFile.WriteStrings("Main", {{"IP", host}, {"Port", IntToStr(port)}});
}

}  // namespace vrk
