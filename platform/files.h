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
// True for an existing name that is neither a regular file nor a folder: a device, a pipe
// or a socket, also reached through a link ("NUL" and "CON" on Windows).
bool IsDevice(const Text& name);
// Never replaces: fails when the new name exists or the old one is missing. The new name is
// on the disk when it returns.
bool RenameFile(const Text& oldName, const Text& newName);
// Gives `oldName` the name `newName`, replacing a file of that name at once (never a folder),
// on the disk when it returns.
bool RenameFileOver(const Text& oldName, const Text& newName);
// Replaces the part from the last "." after the last "\" or ":" (or "/" on POSIX),
// or appends when there is none; the extension is used as passed, its dot included.
Text ChangeFileExt(const Text& name, const Text& extension);

// Create (or truncate) for reading and writing, no sharing; INVALID_HANDLE_VALUE on failure.
HANDLE FileCreate(const Text& name);
// Opens an existing file or device for writing, neither creating nor truncating it.
HANDLE FileOpenForWriting(const Text& name);
// Writes count bytes; a failed creation makes this a silent no-op.
bool FileWrite(HANDLE file, const char* data, std::size_t count);
void FileClose(HANDLE file);

}  // namespace vrk
