// File services of the front end. None of these raises an error.
#pragma once

#include <cstddef>

#include "framework/text.h"
#include "platform/winapi.h"

namespace vrk {

// No trailing separator except at a root.
Text GetCurrentDir();
// True for an existing file that is not a directory.
bool FileExists(const Text& name);
// True for an existing file that holds no bytes.
bool IsEmptyFile(const Text& name);
// True for an existing name that is neither a regular file nor a folder: a device, a pipe
// or a socket, also reached through a link ("NUL" and "CON" on Windows).
bool IsDevice(const Text& name);
// Never replaces: fails when the new name exists or the old one is missing. The new name is
// on the disk when it returns.
bool RenameFile(const Text& oldName, const Text& newName);
// Gives `oldName` the name `newName`, replacing a file of that name at once (never a folder),
// on the disk when it returns.
bool RenameFileOver(const Text& oldName, const Text& newName);
// MoveFileExA, tried again for up to two seconds while the system refuses for a moment: on
// Windows a file that another program (another run of the tool, say) holds open cannot be
// replaced or renamed until it lets go. False, with the last error set, when it still fails.
bool MoveFileWaiting(const char* oldName, const char* newName, DWORD flags);
// True where the system will not let `name` be written or replaced in place: a program that
// is running (Windows maps its file), or a file that another program holds for itself.
bool FileInUse(const Text& name);
// Replaces the part from the last "." after the last "\" or ":" (or "/" on POSIX),
// or appends when there is none; the extension is used as passed, its dot included.
Text ChangeFileExt(const Text& name, const Text& extension);

// What tells one version of a file from another: which file the name leads to, its size and
// its last write. Another program may replace the file (the proxy command of another run, say)
// between two reads by name; each version is written and flushed anew, so two reads with
// the same stamp around them read one version.
struct FileStamp {
  bool exists = false;
  BY_HANDLE_FILE_INFORMATION information{};

  static FileStamp Of(const Text& name);
  bool operator==(const FileStamp& other) const;
};

// Create (or truncate) for reading and writing, no sharing; INVALID_HANDLE_VALUE on failure.
HANDLE FileCreate(const Text& name);
// Opens an existing file or device for writing, neither creating nor truncating it.
HANDLE FileOpenForWriting(const Text& name);
// Writes count bytes; a failed creation makes this a silent no-op.
bool FileWrite(HANDLE file, const char* data, std::size_t count);
void FileClose(HANDLE file);

}  // namespace vrk
