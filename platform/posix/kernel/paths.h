// File names as the tool passes them, turned into names the POSIX calls accept.
#pragma once

#include <string>

namespace vrk_posix {

// "\" is a folder separator just like "/"; a null name gives the empty name.
std::string PosixPath(const char* name);

// The folder part of a POSIX name: "." for a bare name, "/" for a name in the root.
std::string FolderOf(const std::string& path);

}  // namespace vrk_posix
