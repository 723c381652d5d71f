#include "tools/http_fixture/file_responder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace vrk::testing {

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

// Shared by the generator copies; closed when the last one goes.
struct OpenFile {
  explicit OpenFile(int descriptor) : fd(descriptor) {}
  ~OpenFile() { ::close(fd); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int fd;
};

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
    if (segment == ".." || segment.find('\\') != std::string_view::npos) return std::nullopt;
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
  const int fd = ::open(file->c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    if (fd >= 0) ::close(fd);
    return HttpResponse::Text(404, "not found\n");
  }
  auto open = std::make_shared<OpenFile>(fd);
  HttpResponse response = HttpResponse::Generated(
      static_cast<std::uint64_t>(info.st_size),
      [open](std::uint64_t offset, char* buffer, std::size_t size) {
        // A file that shrinks while being served is padded with zeros to the promised length.
        std::size_t filled = 0;
        while (filled < size) {
          const ssize_t got = ::pread(open->fd, buffer + filled, size - filled,
                                      static_cast<off_t>(offset + filled));
          if (got < 0 && errno == EINTR) continue;
          if (got <= 0) break;
          filled += static_cast<std::size_t>(got);
        }
        std::memset(buffer + filled, 0, size - filled);
      });
  response.headers.front().second = ContentType(*file);
  return response;
}

}  // namespace vrk::testing
