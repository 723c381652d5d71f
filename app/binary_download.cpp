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
  const Text target = TargetFileName(ParamStr(3));
  const bool swap = SameBytes(ParamStr(4), "ext");
  const bool start = SameBytes(ParamStr(6), "runme");
  // Every name is worked out before anything changes: nothing that can run out of memory
  // stands between the swap and its end.
  const Text executable = ChangeFileExt(target, ".exe");
  const Text backup = ChangeFileExt(target, ".old");
  const Text result = swap ? ChangeFileExt(target, "." + ParamStr(5)) : target;
  try {
    DownloadUrlToFile(ParamStr(1), target);
    if (swap) {
      // The executable keeps its name until the download takes it, its backup made first; an
      // earlier backup stays, and so does the executable then.
      if (!FileExists(executable)) {
        RenameFile(target, executable);
      } else if (BackUpFile(executable, backup)) {
        RenameFileOver(target, executable);
      }
    }
    if (start) ShellOpen(Handle(), result);
  } catch (const EOleSysError& error) {
    MessageBoxA(nullptr, error.Message().c_str(), messages::kDownloadErrorCaption,
                MB_OK | MB_ICONERROR);
  }
  Close();
}

}  // namespace vrk
