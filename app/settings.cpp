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

Settings ReadSettings(const TIniFile& file) {
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

}  // namespace vrk
