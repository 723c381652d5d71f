#include "tools/scripted_server/script.h"

#include <cctype>

namespace vrk_test {

namespace {
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}
}  // namespace

std::optional<std::string> HttpRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (SameName(key, name)) return value;
  }
  return std::nullopt;
}

HttpResponse HttpResponse::Text(int status, std::string body) {
  HttpResponse response;
  response.status = status;
  response.headers.emplace_back("Content-Type", "text/plain");
  response.body = std::move(body);
  return response;
}

HttpResponse HttpResponse::Redirect(int status, std::string location) {
  HttpResponse response;
  response.status = status;
  response.headers.emplace_back("Location", std::move(location));
  return response;
}

HttpResponse HttpResponse::Raw(std::string bytes) {
  HttpResponse response;
  response.raw = std::move(bytes);
  return response;
}

HttpResponse HttpResponse::Generated(std::uint64_t length, ByteGenerator generator) {
  HttpResponse response;
  response.headers.emplace_back("Content-Type", "application/octet-stream");
  response.generatedLength = length;
  response.generator = std::move(generator);
  return response;
}

Script& Script::ReceiveUntil(std::string marker, Milliseconds timeout) {
  steps_.emplace_back(step::ReceiveUntil{std::move(marker), timeout});
  return *this;
}

Script& Script::ReceiveBytes(std::uint64_t count, Milliseconds timeout) {
  steps_.emplace_back(step::ReceiveBytes{count, timeout});
  return *this;
}

Script& Script::Send(std::string bytes) {
  steps_.emplace_back(step::Send{std::move(bytes)});
  return *this;
}

Script& Script::SendPieces(std::vector<std::string> pieces, Milliseconds pause) {
  steps_.emplace_back(step::SendPieces{std::move(pieces), pause});
  return *this;
}

Script& Script::SendGenerated(std::uint64_t length, ByteGenerator generator) {
  steps_.emplace_back(step::SendGenerated{length, std::move(generator)});
  return *this;
}

Script& Script::Pause(Milliseconds duration) {
  steps_.emplace_back(step::Pause{duration});
  return *this;
}

Script& Script::Close() {
  steps_.emplace_back(step::Close{});
  return *this;
}

Script& Script::Reset() {
  steps_.emplace_back(step::Reset{});
  return *this;
}

Script& Script::Stall() {
  steps_.emplace_back(step::Stall{});
  return *this;
}

Script& Script::HalfClose() {
  steps_.emplace_back(step::HalfClose{});
  return *this;
}

Script& Script::StopReading() {
  steps_.emplace_back(step::Reading{false});
  return *this;
}

Script& Script::ResumeReading() {
  steps_.emplace_back(step::Reading{true});
  return *this;
}

Script& Script::AnswerHttp(HttpHandler handler) {
  steps_.emplace_back(step::AnswerHttp{std::move(handler)});
  return *this;
}

}  // namespace vrk_test
