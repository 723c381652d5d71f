// Answers HTTP requests with the files of one folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "tools/scripted_server/script.h"

namespace vrk_test {

// The file a request target names inside the root: the path is percent-decoded, the
// query dropped; nullopt for targets that would leave the root or are not plain paths.
std::optional<std::filesystem::path> FileForTarget(const std::filesystem::path& root,
                                                   std::string_view target);

// 200 with the file's bytes (streamed from the file), 404 when there is no such regular
// file, 405 for methods other than GET and HEAD.
HttpResponse AnswerFromFolder(const std::filesystem::path& root, const HttpRequest& request);

}  // namespace vrk_test
