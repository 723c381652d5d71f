#include "app/settings.h"

#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/ini_file.h"

namespace vrk {

Text URLSetting;
Text ProgramSetting;
Text EditSetting;

Text SettingsFileName() {
  // Without the executable's whole path there is no settings file: ".ini" alone would be
  // looked for in the current folder (or, on Windows, the system's).
  const Text executable = ParamStr(0);
  return executable.IsEmpty() ? Text() : ChangeFileExt(executable, ".ini");
}

namespace {

Settings ReadEachKey(const TIniFile& file) {
  const Text section = "Main";
  Settings defaults;
  Settings read;
  read.IP = file.ReadString(section, "IP", defaults.IP);
  read.Port = file.ReadInteger(section, "Port", defaults.Port);
  read.URL = file.ReadString(section, "URL", defaults.URL);
  read.Program = file.ReadString(section, "Program", defaults.Program);
  read.Edit = file.ReadString(section, "Edit", defaults.Edit);
  read.ASCII = file.ReadString(section, "ASCII", defaults.ASCII);
  return read;
}

}  // namespace

Settings ReadSettings(const TIniFile& file) {
  // The system reads the file anew for a key when it changed, and the proxy command of
  // another run may replace it between two keys: "IP" and "Port" must come from one
  // version. A file replaced on every attempt is taken as the last attempt read it.
  constexpr int kAttempts = 20;
  for (int attempt = 1;; ++attempt) {
    const FileStamp before = FileStamp::Of(file.FileName());
    Settings read = ReadEachKey(file);
    if (attempt == kAttempts || FileStamp::Of(file.FileName()) == before) return read;
  }
}

}  // namespace vrk
