#include "tools/scripted_server/script_runner.h"

#include <algorithm>
#include <climits>
#include <string_view>
#include <vector>

#include "tools/scripted_server/http_message.h"
#include "tools/scripted_server/socket_shim.h"

namespace vrk_test {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kGeneratedChunk = 256 * 1024;
constexpr Milliseconds kQuietBeforeClose{100};

class Runner {
 public:
  Runner(sockets::Socket socket, sockets::Socket wake, ConnectionRecord& record,
         const RunnerSettings& settings)
      : fd_(socket), wake_(wake), record_(record), settings_(settings), buffer_(kReadChunk) {}

  void Play(const Script& script) {
    for (const Step& step : script.Steps()) {
      const Result result = std::visit([this](const auto& s) { return Do(s); }, step);
      if (result != Result::kOk) break;
    }
    if (!closed_) {
      if (stopped_) {
        CloseNow();
      } else {
        CloseGracefully();
      }
    }
    record_.MarkEnded();
  }

 private:
  enum class Result { kOk, kEnded };
  enum class Event { kProgress, kWritable, kTimedOut, kStopped };

  // Waits for the socket (or the stop signal) until the deadline, recording whatever
  // arrives when reading is on or forced.
  Event Wait(Clock::time_point deadline, bool wantWrite, bool forceRead) {
    const auto now = Clock::now();
    if (now >= deadline) return Event::kTimedOut;
    const bool read = (reading_ || forceRead) && !peerClosed_;
    sockets::Watch watches[2] = {{fd_, read, wantWrite}, {wake_, true, false}};
    int timeout = -1;
    if (deadline != Clock::time_point::max()) {
      const auto left = std::chrono::ceil<Milliseconds>(deadline - now).count();
      timeout = static_cast<int>(std::min<long long>(left, INT_MAX));
    }
    const int ready = sockets::Wait(watches, 2, timeout);
    if (ready < 0) return Event::kTimedOut;
    if (watches[1].readable) {
      stopped_ = true;
      return Event::kStopped;
    }
    if (ready == 0) return Event::kProgress;  // the next call sees the deadline passed
    if (watches[0].readable) ReadAvailable();
    if (watches[0].writable) return Event::kWritable;
    return Event::kProgress;

  }

  void ReadAvailable() {
    // Bounded, so that a peer that never stops sending cannot hold a step past its time.
    for (int round = 0; round < 16; ++round) {
      const sockets::Transfer got = sockets::Receive(fd_, buffer_.data(), buffer_.size());
      if (got.count > 0) {
        record_.Append(buffer_.data(), static_cast<std::size_t>(got.count));
        if (static_cast<std::size_t>(got.count) < buffer_.size()) return;
        continue;
      }
      if (got.count == 0) {
        peerClosed_ = true;
        record_.MarkPeerClosed(false);
        return;
      }
      if (got.error == sockets::Error::kInterrupted) continue;
      if (got.error == sockets::Error::kWouldBlock) return;
      peerClosed_ = true;
      record_.MarkPeerClosed(got.error == sockets::Error::kReset);
      return;
    }
  }

  Result Fail(const std::string& why) {
    record_.MarkFailure(why);
    return Result::kEnded;
  }

  Result Stopped() { return Result::kEnded; }

  Result SendAll(std::string_view bytes) {
    auto progressDeadline = Clock::now() + settings_.ioTimeout;
    while (!bytes.empty()) {
      const sockets::Transfer put = sockets::Send(fd_, bytes.data(), bytes.size());
      if (put.count > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(put.count));
        progressDeadline = Clock::now() + settings_.ioTimeout;
        continue;
      }
      if (put.error == sockets::Error::kInterrupted) continue;
      if (put.error == sockets::Error::kWouldBlock) {
        const Event event = Wait(progressDeadline, true, false);
        if (event == Event::kStopped) return Stopped();
        if (event == Event::kTimedOut) return Fail("send made no progress before the time-out");
        continue;
      }
      return Fail("send failed: " + sockets::ErrorText(put.code));
    }
    return Result::kOk;
  }

  Result PauseFor(Milliseconds duration) {
    const auto deadline = Clock::now() + duration;
    for (;;) {
      const Event event = Wait(deadline, false, false);
      if (event == Event::kStopped) return Stopped();
      if (event == Event::kTimedOut) return Result::kOk;
    }
  }

  Result AwaitMarker(std::string_view marker, Clock::time_point deadline) {
    std::uint64_t scanFrom = consumed_;
    for (;;) {
      if (const auto at = record_.Find(marker, scanFrom)) {
        consumed_ = *at + marker.size();
        return Result::kOk;
      }
      // Only a marker that straddles old and new bytes needs the old ones searched again.
      const std::uint64_t count = record_.ReceivedCount();
      if (count >= marker.size()) scanFrom = std::max(consumed_, count - marker.size() + 1);
      if (peerClosed_) {
        return Fail("peer closed before \"" + std::string(marker) + "\" arrived");
      }
      const Event event = Wait(deadline, false, true);
      if (event == Event::kStopped) return Stopped();
      if (event == Event::kTimedOut) {
        return Fail("timed out waiting for \"" + std::string(marker) + "\"");
      }
    }
  }

  Result AwaitCount(std::uint64_t count, Clock::time_point deadline) {
    const std::uint64_t target = consumed_ + count;
    for (;;) {
      if (record_.ReceivedCount() >= target) {
        consumed_ = target;
        return Result::kOk;
      }
      if (peerClosed_) return Fail("peer closed before " + std::to_string(count) + " bytes arrived");
      const Event event = Wait(deadline, false, true);
      if (event == Event::kStopped) return Stopped();
      if (event == Event::kTimedOut) {
        return Fail("timed out waiting for " + std::to_string(count) + " bytes");
      }
    }
  }

  Result SendGenerated(std::uint64_t length, const ByteGenerator& generator) {
    std::vector<char> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(length,
                                                                             kGeneratedChunk)));
    for (std::uint64_t offset = 0; offset < length;) {
      const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(length - offset,
                                                                         chunk.size()));
      generator(offset, chunk.data(), size);
      if (const Result result = SendAll(std::string_view(chunk.data(), size));
          result != Result::kOk) {
        return result;
      }
      offset += size;
    }
    return Result::kOk;
  }

  void CloseNow() {
    sockets::Close(fd_);
    closed_ = true;
  }

  void CloseGracefully() {
    if (!writeShut_) sockets::ShutdownSend(fd_);
    writeShut_ = true;
    // Unread bytes at close would make the kernel send RST instead of FIN, so what the
    // peer still sends is read until it closes too or has been quiet for a while.
    const auto deadline = Clock::now() + settings_.closeDrain;
    auto quietUntil = Clock::now() + kQuietBeforeClose;
    std::uint64_t seen = record_.ReceivedCount();
    while (!peerClosed_) {
      const Event event = Wait(std::min(deadline, quietUntil), false, true);
      if (event == Event::kStopped || event == Event::kTimedOut) break;
      if (record_.ReceivedCount() != seen) {
        seen = record_.ReceivedCount();
        quietUntil = Clock::now() + kQuietBeforeClose;
      }
    }
    CloseNow();
  }

  Result Do(const step::ReceiveUntil& s) { return AwaitMarker(s.marker, Clock::now() + s.timeout); }
  Result Do(const step::ReceiveBytes& s) { return AwaitCount(s.count, Clock::now() + s.timeout); }
  Result Do(const step::Send& s) { return SendAll(s.bytes); }
  Result Do(const step::SendGenerated& s) { return SendGenerated(s.length, s.generator); }
  Result Do(const step::Pause& s) { return PauseFor(s.duration); }

  Result Do(const step::SendPieces& s) {
    for (std::size_t i = 0; i < s.pieces.size(); ++i) {
      if (i > 0) {
        if (const Result result = PauseFor(s.pause); result != Result::kOk) return result;
      }
      if (const Result result = SendAll(s.pieces[i]); result != Result::kOk) return result;
    }
    return Result::kOk;
  }

  Result Do(const step::Close&) {
    CloseGracefully();
    return Result::kEnded;
  }

  Result Do(const step::Reset&) {
    sockets::AbortOnClose(fd_);
    CloseNow();
    return Result::kEnded;
  }

  Result Do(const step::Stall&) {
    while (Wait(Clock::time_point::max(), false, false) != Event::kStopped) {
    }
    return Stopped();
  }

  Result Do(const step::HalfClose&) {
    sockets::ShutdownSend(fd_);
    writeShut_ = true;
    return Result::kOk;
  }

  Result Do(const step::Reading& s) {
    reading_ = s.on;
    return Result::kOk;
  }

  Result Do(const step::AnswerHttp& s) {
    const auto deadline = Clock::now() + settings_.ioTimeout;
    std::optional<HttpRequest> request;
    if (const Result result = ReadRequest(deadline, request); result != Result::kOk) return result;
    if (!request) return Result::kEnded;
    if (settings_.onRequest) settings_.onRequest(*request);

    HttpResponse response;
    try {
      response = s.handler(*request);
    } catch (const std::exception& error) {
      record_.MarkFailure(std::string("HTTP handler threw: ") + error.what());
      response = HttpResponse::Text(500, "handler failed\n");
    }
    if (response.raw) return SendAll(*response.raw);
    if (const Result result = SendAll(FormatResponseHead(response)); result != Result::kOk) {
      return result;
    }
    if (request->method == "HEAD") return Result::kOk;
    if (response.generator) return SendGenerated(response.generatedLength, response.generator);
    return SendAll(response.body);
  }

  // Leaves `request` empty after answering a request that cannot be read with 400.
  Result ReadRequest(Clock::time_point deadline, std::optional<HttpRequest>& request) {
    const std::uint64_t headStart = consumed_;
    if (const Result result = AwaitMarker("\r\n\r\n", deadline); result != Result::kOk) {
      return result;
    }
    request = ParseRequestHead(record_.Slice(headStart, consumed_ - headStart));
    if (!request) return RefuseRequest(request, "malformed request line");

    std::uint64_t length = 0;
    const BodyFraming framing = RequestBodyFraming(*request, length);
    if (framing == BodyFraming::kInvalid) return RefuseRequest(request, "body framing not understood");
    if (framing == BodyFraming::kNone) return Result::kOk;
    if (const auto expect = request->Header("Expect"); expect && *expect == "100-continue") {
      if (const Result result = SendAll("HTTP/1.1 100 Continue\r\n\r\n"); result != Result::kOk) {
        return result;
      }
    }
    if (framing == BodyFraming::kLength) {
      const std::uint64_t bodyStart = consumed_;
      if (const Result result = AwaitCount(length, deadline); result != Result::kOk) return result;
      request->body = record_.Slice(bodyStart, length);
      return Result::kOk;
    }
    return ReadChunkedBody(deadline, request);
  }

  Result ReadChunkedBody(Clock::time_point deadline, std::optional<HttpRequest>& request) {
    for (;;) {
      const std::uint64_t lineStart = consumed_;
      if (const Result result = AwaitMarker("\r\n", deadline); result != Result::kOk) return result;
      const auto size = ParseChunkSize(record_.Slice(lineStart, consumed_ - lineStart - 2));
      if (!size) return RefuseRequest(request, "malformed chunk size");
      if (*size == 0) break;
      const std::uint64_t chunkStart = consumed_;
      if (const Result result = AwaitCount(*size, deadline); result != Result::kOk) return result;
      request->body += record_.Slice(chunkStart, *size);
      if (const Result result = AwaitMarker("\r\n", deadline); result != Result::kOk) return result;
    }
    // Trailer lines, up to the empty one.
    for (;;) {
      const std::uint64_t lineStart = consumed_;
      if (const Result result = AwaitMarker("\r\n", deadline); result != Result::kOk) return result;
      if (consumed_ - lineStart == 2) return Result::kOk;
    }
  }

  Result RefuseRequest(std::optional<HttpRequest>& request, const std::string& why) {
    request.reset();
    record_.MarkFailure("HTTP request refused: " + why);
    const HttpResponse refusal = HttpResponse::Text(400, why + "\n");
    if (const Result result = SendAll(FormatResponseHead(refusal)); result != Result::kOk) {
      return result;
    }
    return SendAll(refusal.body);
  }

  const sockets::Socket fd_;
  const sockets::Socket wake_;
  ConnectionRecord& record_;
  const RunnerSettings& settings_;
  std::vector<char> buffer_;
  std::uint64_t consumed_ = 0;
  bool reading_ = true;
  bool peerClosed_ = false;
  bool writeShut_ = false;
  bool closed_ = false;
  bool stopped_ = false;
};

}  // namespace

void PlayScript(sockets::Socket socket, sockets::Socket wake, const Script& script,
                ConnectionRecord& record, const RunnerSettings& settings) {
  Runner(socket, wake, record, settings).Play(script);
}

}  // namespace vrk_test
