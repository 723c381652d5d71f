// A URL with a binary ending: saved to a file, optionally swapped in as an executable and started.
#include "app/Unit1.h"
#include "app/messages.h"
#include "base/result_codes.h"
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

namespace {

// The executable keeps its name until the download takes it, its backup made first; an
// earlier backup stays, and so does the executable then. A running program cannot be
// replaced, only renamed: it steps aside to its backup name and the download takes its place.
void SwapIn(const Text& download, const Text& executable, const Text& backup) {
  if (!FileExists(executable)) {
    RenameFile(download, executable);
  } else if (FileInUse(executable)) {
    // Should the download not follow, the program gets its name back.
    if (RenameFile(executable, backup) && !RenameFile(download, executable)) {
      RenameFile(backup, executable);
    }
  } else if (BackUpFile(executable, backup)) {
    RenameFileOver(download, executable);
  }
}

}  // namespace

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
      // An empty program is no program: a reply cut before its body can reach here as a
      // success of no bytes.
      if (IsEmptyFile(target)) {
        const auto failure = static_cast<HRESULT>(result_codes::kDownloadFailure);
        throw EOleSysError(OleErrorMessage(failure), failure);
      }
      SwapIn(target, executable, backup);
    }
    if (start) ShellOpen(Handle(), result);
  } catch (const EOleSysError& error) {
    MessageBoxA(nullptr, error.Message().c_str(), messages::kDownloadErrorCaption,
                MB_OK | MB_ICONERROR);
  }
  Close();
}

}  // namespace vrk
