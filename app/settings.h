// The settings file beside the executable: section "Main", read at every start.
#pragma once

#include "framework/text.h"

namespace vrk {

class TIniFile;

struct Settings {
  Text IP;
  int Port = 0;
  Text URL;
  Text Program = "Trovane";
  Text Edit = "Pocasi";
  Text ASCII = ".exe .zip .rar .dat .bmp .jpg jpeg .png .mp3 .ogg";
};

// The running executable's path with the extension ".ini"; empty (no settings file) when that
// path cannot be read whole.
Text SettingsFileName();

// Reads the six keys in their fixed order; whatever is missing or does not
// convert keeps its default, and nothing is reported.
Settings ReadSettings(const TIniFile& file);

// The run-wide texts of "URL", "Program" and "Edit": empty until read, kept to process end.
extern Text URLSetting;
extern Text ProgramSetting;
extern Text EditSetting;

}  // namespace vrk
