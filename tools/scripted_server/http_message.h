// Reading request heads and writing response heads, as the test server needs them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/scripted_server/script.h"

namespace vrk_test {

// The request line and headers of a head that ends with its blank line; nullopt when the
// request line is not "method target version".
std::optional<HttpRequest> ParseRequestHead(std::string_view head);

enum class BodyFraming { kNone, kLength, kChunked, kInvalid };
// How the request's body is delimited; `length` is set for kLength.
BodyFraming RequestBodyFraming(const HttpRequest& request, std::uint64_t& length);

// The size line of a chunk ("1a;ext=1"), nullopt when it is not hexadecimal.
std::optional<std::uint64_t> ParseChunkSize(std::string_view line);

const char* ReasonPhrase(int status);

// The status line and headers, ending with the blank line. Adds Content-Length and
// "Connection: close" unless the response names them itself.
std::string FormatResponseHead(const HttpResponse& response);

}  // namespace vrk_test
