// Reading a whole file, and replacing one atomically through a temporary file beside it.
#pragma once

#include <string>
#include <string_view>

namespace vrk {

enum class ReadOutcome { kRead, kMissing, kFailed };

// kMissing when nothing has that name (ENOENT); errno is kept on kFailed.
ReadOutcome ReadWholeFile(const std::string& path, std::string& bytes);

// Writes the bytes to a new file in the same folder, flushes it to disk and renames it
// over path, keeping the permission bits of an existing file. Refuses an existing file
// that is not a writable regular file. Sets the last error and leaves no temporary file
// behind on failure.
bool ReplaceWholeFile(const std::string& path, std::string_view bytes);

}  // namespace vrk
