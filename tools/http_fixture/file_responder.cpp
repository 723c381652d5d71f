#include "tools/http_fixture/file_responder.h"

#include "tools/http_fixture/served_file.h"

namespace vrk_test {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexDigit(text[i + 1]);
    const int low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

const char* ContentType(const std::filesystem::path& file) {
  const std::string extension = file.extension().string();
  if (extension == ".txt") return "text/plain";
  if (extension == ".htm" || extension == ".html") return "text/html";
  return "application/octet-stream";
}

// Backslashes and colons would name another folder, drive or stream on Windows, which also
// drops dots and blanks at a name's end (".. " would climb out), so such names are refused.
bool SafeSegment(std::string_view segment) {
  if (segment.empty() || segment == ".") return true;
  if (segment.find_first_of("\\:") != std::string_view::npos) return false;
  return segment.back() != '.' && segment.back() != ' ';
}

}  // namespace

std::optional<std::filesystem::path> FileForTarget(const std::filesystem::path& root,
                                                   std::string_view target) {
  target = target.substr(0, target.find_first_of("?#"));
  if (target.empty() || target.front() != '/') return std::nullopt;
  const auto decoded = PercentDecoded(target);
  if (!decoded || decoded->find('\0') != std::string::npos) return std::nullopt;
  std::filesystem::path file = root;
  std::string_view rest = *decoded;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    const std::string_view segment = rest.substr(0, slash);
    if (!SafeSegment(segment)) return std::nullopt;
    if (!segment.empty() && segment != ".") file /= std::string(segment);
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return file;
}

HttpResponse AnswerFromFolder(const std::filesystem::path& root, const HttpRequest& request) {
  if (request.method != "GET" && request.method != "HEAD") {
    HttpResponse refusal = HttpResponse::Text(405, "only GET and HEAD\n");
    refusal.headers.emplace_back("Allow", "GET, HEAD");
    return refusal;
  }
  const auto file = FileForTarget(root, request.target);
  if (!file) return HttpResponse::Text(400, "bad path\n");
  // Shared by the generator copies; closed when the last one goes.
  const std::shared_ptr<ServedFile> open = ServedFile::Open(*file);
  if (!open) return HttpResponse::Text(404, "not found\n");
  // A file that shrinks while being served is padded with zeros to the promised length.
  HttpResponse response = HttpResponse::Generated(
      open->Size(), [open](std::uint64_t offset, char* buffer, std::size_t size) {
        open->ReadAt(offset, buffer, size);
      });
  response.headers.front().second = ContentType(*file);
  return response;
}

}  // namespace vrk_test
