// File names as the tool passes them, turned into names the POSIX calls accept.
#pragma once

#include <string>

namespace vrk_posix {

// "\" is a folder separator just like "/"; a null name gives the empty name. A name too long
// for the system (PATH_MAX and more) becomes a short one through an open handle of its folder.
std::string PosixPath(const char* name);

// The folder part of a POSIX name: "." for a bare name, "/" for a name in the root.
std::string FolderOf(const std::string& path);

// `path` with every link on the way followed to the name it ends at, which need not exist;
// empty, with errno set, for a loop of links.
std::string FollowLinks(const std::string& path);

// The descriptor of this process that `path` stands for: /dev/stdin, /dev/stdout, /dev/stderr,
// /dev/fd/N, /proc/self/fd/N (or /proc/PID/fd/N of this process), also through links; -1 for
// any other name or a descriptor that is not open. Such a name means the open file itself,
// never a new opening of what it points at.
int OwnDescriptor(const std::string& path);

// Renames without ever replacing an existing name: 0, or -1 with errno (EEXIST for a taken
// name).
int RenameWithoutReplacing(const std::string& from, const std::string& to);

// Flushes the folder's names to the disk (a new name is durable only then); 0 or the errno
// value. File systems that cannot flush a folder count as flushed.
int SyncFolder(const std::string& folder);

}  // namespace vrk_posix
