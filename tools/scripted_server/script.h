// What the test server does on one connection: a list of steps played in order.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vrk_test {

using Milliseconds = std::chrono::milliseconds;

inline constexpr Milliseconds kDefaultReceiveTimeout{10000};

// Fills `size` bytes of a streamed body, the ones that start at `offset`.
using ByteGenerator = std::function<void(std::uint64_t offset, char* buffer, std::size_t size)>;

struct HttpRequest {
  std::string method;
  std::string target;
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The first value of the header, its name compared without regard to case.
  std::optional<std::string> Header(std::string_view name) const;
};

struct HttpResponse {
  int status = 200;
  std::string reason;  // empty: the usual phrase for the status
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // When set, the body comes from the generator instead, never whole in memory.
  ByteGenerator generator;
  std::uint64_t generatedLength = 0;
  // When set, exactly these bytes are sent and nothing else (for malformed answers).
  std::optional<std::string> raw;

  static HttpResponse Text(int status, std::string body);
  static HttpResponse Redirect(int status, std::string location);
  static HttpResponse Raw(std::string bytes);
  static HttpResponse Generated(std::uint64_t length, ByteGenerator generator);
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

namespace step {
struct ReceiveUntil {
  std::string marker;
  Milliseconds timeout;
};
struct ReceiveBytes {
  std::uint64_t count;
  Milliseconds timeout;
};
struct Send {
  std::string bytes;
};
struct SendPieces {
  std::vector<std::string> pieces;
  Milliseconds pause;
};
struct SendGenerated {
  std::uint64_t length;
  ByteGenerator generator;
};
struct Pause {
  Milliseconds duration;
};
struct Close {};
struct Reset {};
struct Stall {};
struct HalfClose {};
struct Reading {
  bool on;
};
struct AnswerHttp {
  HttpHandler handler;
};
}  // namespace step

using Step = std::variant<step::ReceiveUntil, step::ReceiveBytes, step::Send, step::SendPieces,
                          step::SendGenerated, step::Pause, step::Close, step::Reset, step::Stall,
                          step::HalfClose, step::Reading, step::AnswerHttp>;

// Receive steps consume what has arrived in order: each starts where the previous one
// stopped. Between receive steps the server keeps reading and recording unless told not
// to. A script that ends without Close, Reset or Stall closes gracefully.
class Script {
 public:
  // Until the marker has arrived (the marker is consumed with what precedes it).
  Script& ReceiveUntil(std::string marker, Milliseconds timeout = kDefaultReceiveTimeout);
  Script& ReceiveBytes(std::uint64_t count, Milliseconds timeout = kDefaultReceiveTimeout);
  Script& ReceiveHead(Milliseconds timeout = kDefaultReceiveTimeout) {
    return ReceiveUntil("\r\n\r\n", timeout);
  }

  Script& Send(std::string bytes);
  // Each piece is sent whole, with the pause between pieces (not after the last).
  Script& SendPieces(std::vector<std::string> pieces, Milliseconds pause);
  Script& SendGenerated(std::uint64_t length, ByteGenerator generator);
  Script& Pause(Milliseconds duration);

  // Sends FIN, waits a little for the peer's FIN so unread bytes cannot turn it into RST.
  Script& Close();
  // Aborts the connection with RST.
  Script& Reset();
  // Keeps the connection open and silent until the server stops.
  Script& Stall();
  // Sends FIN but keeps receiving; later receive steps still work.
  Script& HalfClose();
  // Stops reading outside receive steps, so the peer's sends back up.
  Script& StopReading();
  Script& ResumeReading();

  // Reads one request (head, then a body by Content-Length or chunks), answers it with
  // the handler's response.
  Script& AnswerHttp(HttpHandler handler);

  const std::vector<Step>& Steps() const { return steps_; }

 private:
  std::vector<Step> steps_;
};

}  // namespace vrk_test
