#include "app/settings.h"

#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/ini_file.h"

namespace vrk {

Text URLSetting;
Text ProgramSetting;
Text EditSetting;

Text SettingsFileName() { return ChangeFileExt(ParamStr(0), ".ini"); }

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
