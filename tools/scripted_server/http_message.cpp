#include "tools/scripted_server/http_message.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace vrk_test {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::vector<std::string_view> Lines(std::string_view head) {
  std::vector<std::string_view> lines;
  while (!head.empty()) {
    const std::size_t end = head.find('\n');
    std::string_view line = head.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    head.remove_prefix(end + 1);
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

bool HasHeader(const HttpResponse& response, std::string_view name) {
  for (const auto& header : response.headers) {
    if (Lower(header.first) == Lower(name)) return true;
  }
  return false;
}

}  // namespace

std::optional<HttpRequest> ParseRequestHead(std::string_view head) {
  const std::vector<std::string_view> lines = Lines(head);
  if (lines.empty()) return std::nullopt;
  HttpRequest request;
  const std::string_view first = lines.front();
  const std::size_t space1 = first.find(' ');
  const std::size_t space2 = first.find(' ', space1 == std::string_view::npos ? 0 : space1 + 1);
  if (space1 == std::string_view::npos || space2 == std::string_view::npos || space1 == 0 ||
      space2 == space1 + 1) {
    return std::nullopt;
  }
  request.method = first.substr(0, space1);
  request.target = first.substr(space1 + 1, space2 - space1 - 1);
  request.version = first.substr(space2 + 1);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::size_t colon = lines[i].find(':');
    if (colon == std::string_view::npos) continue;  // not a header: ignored, as lenient servers do
    request.headers.emplace_back(std::string(Trim(lines[i].substr(0, colon))),
                                 std::string(Trim(lines[i].substr(colon + 1))));
  }
  return request;
}

BodyFraming RequestBodyFraming(const HttpRequest& request, std::uint64_t& length) {
  if (const auto coding = request.Header("Transfer-Encoding")) {
    return Lower(*coding).find("chunked") != std::string::npos ? BodyFraming::kChunked
                                                               : BodyFraming::kInvalid;
  }
  const auto declared = request.Header("Content-Length");
  if (!declared) return BodyFraming::kNone;
  const char* begin = declared->data();
  const char* end = begin + declared->size();
  const auto [stop, error] = std::from_chars(begin, end, length);
  if (error != std::errc() || stop != end || declared->empty()) return BodyFraming::kInvalid;
  return length == 0 ? BodyFraming::kNone : BodyFraming::kLength;
}

std::optional<std::uint64_t> ParseChunkSize(std::string_view line) {
  line = Trim(line.substr(0, line.find(';')));
  std::uint64_t size = 0;
  const auto [stop, error] = std::from_chars(line.data(), line.data() + line.size(), size, 16);
  if (line.empty() || error != std::errc() || stop != line.data() + line.size()) {
    return std::nullopt;
  }
  return size;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 100: return "Continue";
    case 200: return "OK";
    case 201: return "Created";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 407: return "Proxy Authentication Required";
    case 408: return "Request Timeout";
    case 410: return "Gone";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

std::string FormatResponseHead(const HttpResponse& response) {
  std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                     (response.reason.empty() ? ReasonPhrase(response.status) : response.reason) +
                     "\r\n";
  for (const auto& [name, value] : response.headers) head += name + ": " + value + "\r\n";
  if (!HasHeader(response, "Content-Length") && !HasHeader(response, "Transfer-Encoding")) {
    const std::uint64_t length = response.generator ? response.generatedLength
                                                    : response.body.size();
    head += "Content-Length: " + std::to_string(length) + "\r\n";
  }
  if (!HasHeader(response, "Connection")) head += "Connection: close\r\n";
  head += "\r\n";
  return head;
}

}  // namespace vrk_test
