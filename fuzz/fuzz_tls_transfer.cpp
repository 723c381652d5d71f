// The HTTP client's secure transfer against a real TLS server on 127.0.0.1 that sends what the
// input scripts (see fuzz/tls_script.h): a reply in records of any size, key updates and
// renegotiations, then close_notify, a bare close or a reset, or bytes inverted, cut or sent
// outside the records. What is checked besides not crashing:
// - every request ends complete or with ESockError, never by the time-out (the server always
//   ends, so a client still waiting has missed the end);
// - a reply that went out whole ends exactly as its plain bytes say (fuzz/expected_reply.h):
//   the same head and body, or the same failure;
// - whatever went wrong on the way, a request that completes has a head and body that the
//   server sent in that order, and without close_notify a body that reached its length.
// Each input costs one connection and a full handshake: the client makes a fresh context per
// session, so there is nothing to resume.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>

#include "fuzz/expected_reply.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/tls_script.h"
#include "fuzz/tls_script_server.h"
#include "net/NMHttp.h"
#include "net/sock_exceptions.h"

namespace {

using vrk::Text;
using vrk::fuzz::ExpectedReply;
using vrk::fuzz::TlsPlay;

// Far above any wait of the server, so it is reached only by a client that missed the end;
// low enough that such an input is reported at once rather than as a hang.
constexpr std::int32_t kTimeOutMs = 3000;

struct Outcome {
  std::optional<std::string> failure;
  std::string header;
  std::string body;
};

std::string FileText(const Text& name) {
  std::ifstream file(name.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

Outcome Fetch(const vrk::fuzz::TlsScript& script, const vrk::fuzz::TlsScriptServer& server) {
  vrk::TNMHTTP client(nullptr);
  client.TimeOut = kTimeOutMs;
  // A redirection is only reported: the next request would leave the loopback server.
  client.OnRedirect = [](bool& handled) { handled = true; };
  if (script.bodyToFile) {
    // A file in memory: a run that stops on a finding leaves nothing behind.
    static const int body = ::memfd_create("vrk-fuzz-body", 0);
    // The client writes through the descriptor itself, at its offset.
    FUZZ_REQUIRE(::ftruncate(body, 0) == 0 && ::lseek(body, 0, SEEK_SET) == 0);
    client.InputFileMode = true;
    client.Body = Text("/proc/self/fd/" + std::to_string(body));
  }
  const Text url("https://127.0.0.1:" + std::to_string(server.Port()) + "/");
  Outcome outcome;
  try {
    if (script.headRequest) {
      client.Head(url);
    } else {
      client.Get(url);
    }
    outcome.header = client.Header.ToStdString();
    outcome.body = script.bodyToFile ? FileText(client.Body) : client.Body.ToStdString();
  } catch (const vrk::EAbortError& abort) {
    // Nothing cancels: the time-out ran out.
    outcome.failure = "time-out: " + abort.Message().ToStdString();
  } catch (const vrk::ESockError& failure) {
    outcome.failure = failure.Message().ToStdString();
  }
  return outcome;
}

void CheckIntact(const Outcome& outcome, const TlsPlay& play, bool headRequest) {
  const ExpectedReply expected = vrk::fuzz::ExpectReply(play.plain, headRequest, play.closeNotify);
  if (!expected.failure.empty()) {
    FUZZ_REQUIRE(outcome.failure == expected.failure);
    return;
  }
  FUZZ_REQUIRE(!outcome.failure);
  FUZZ_REQUIRE(outcome.header == expected.header);
  FUZZ_REQUIRE(outcome.body == expected.body);
}

void CheckCompleted(const Outcome& outcome, const TlsPlay& play, bool headRequest) {
  const std::string received = outcome.header + outcome.body;
  FUZZ_REQUIRE(play.plain.starts_with(received));
  // Read again as if the close had come right after it, the reply must stand as it is.
  const ExpectedReply again = vrk::fuzz::ExpectReply(received, headRequest, false);
  FUZZ_REQUIRE(again.failure.empty() && again.header == outcome.header && again.body == outcome.body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const vrk::fuzz::TlsScriptServer server;
  const vrk::fuzz::TlsScript script = vrk::fuzz::ReadTlsScript(data, size);
  TlsPlay play;
  std::thread serving([&] { play = server.Play(script); });
  const Outcome outcome = Fetch(script, server);
  serving.join();

  FUZZ_REQUIRE(!outcome.failure || (!outcome.failure->starts_with("time-out") &&
                                    *outcome.failure != "Connection Timed out"));
  if (play.Intact()) {
    CheckIntact(outcome, play, script.headRequest);
  } else if (!outcome.failure) {
    CheckCompleted(outcome, play, script.headRequest);
  }
  return 0;
}
