// A URL with a binary ending: saved to a file, optionally swapped in as an executable and started.
#include "app/Unit1.h"
#include "app/messages.h"
#include "framework/exceptions.h"
#include "platform/command_line.h"
#include "platform/download.h"
#include "platform/file_backup.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/text_rules.h"

namespace vrk {

Text TMain::TargetFileName(const Text& parameter) {
  // Examining the first character of an empty name raises the range error on purpose.
  if (parameter[1] == '\\') return GetCurrentDir() + parameter;
  return parameter;
}

void TMain::DownloadBinary() {
  Text result = TargetFileName(ParamStr(3));
  try {
    DownloadUrlToFile(ParamStr(1), result);
    if (SameBytes(ParamStr(4), "ext")) {
      // The executable keeps its name until the download takes it, its backup made first; an
      // earlier backup stays, and so does the executable then.
      const Text executable = ChangeFileExt(result, ".exe");
      if (!FileExists(executable)) {
        RenameFile(result, executable);
      } else if (BackUpFile(executable, ChangeFileExt(result, ".old"))) {
        RenameFileOver(result, executable);
      }
      result = ChangeFileExt(result, "." + ParamStr(5));
    }
    if (SameBytes(ParamStr(6), "runme")) ShellOpen(Handle(), result);
  } catch (const EOleSysError& error) {
    MessageBoxA(nullptr, error.Message().c_str(), messages::kDownloadErrorCaption,
                MB_OK | MB_ICONERROR);
  }
  Close();
}

}  // namespace vrk
