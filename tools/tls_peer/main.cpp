// The TLS test peer: makes a private test CA with the server certificates the tests need, and
// serves TLS on 127.0.0.1 in front of an HTTP server there (the backend), each listening port
// with one certificate and one behaviour, besides a proxy that answers CONNECT. A program of
// its own, so that the Windows build's tests can start it under Wine as well.
//
//   vrk_tls_peer certificates FOLDER
//     Writes ca.pem (the CA to trust), key.pem, and good.pem, expired.pem, not-yet-valid.pem,
//     wrong-host.pem, self-signed.pem and untrusted.pem (see test_certificates.h) into FOLDER;
//     ca.pem is written last. Exit code 0 when done.
//
//   vrk_tls_peer serve FOLDER BACKEND_PORT PLAN... [--ignore-stdin]
//     One listening port per PLAN, on 127.0.0.1, printed in the order given as "PORT <n>" lines
//     on standard output once all listen. A PLAN is "tunnel" (a proxy: CONNECT to localhost or
//     127.x.x.x answered with 200 and a tunnel, anything else with 400), or the name of a
//     certificate of FOLDER followed by options, comma-separated:
//       tls1.0 tls1.1 tls1.2 tls1.3  only that protocol version (default: TLS 1.2 and 1.3)
//       no-close-notify              the backend's close ends TCP alone, without close_notify
//       cut-after=N                  the answer ends after its first N bytes, without close_notify
//       rekey                        after the answer's first piece: new keys (a TLS 1.3 key
//                                    update, or a TLS 1.2 renegotiation)
//     e.g. "good", "expired", "good,tls1.0", "good,no-close-notify", "good,tls1.2,rekey".
//     A plain HTTP server on the TLS port needs no peer: the backend's own port is one.
//     Each TLS connection gets a connection of its own to 127.0.0.1:BACKEND_PORT, the request
//     bytes go there, the answer comes back, and the backend's close ends the session with
//     close_notify unless told otherwise. Runs until SIGTERM (Ctrl+C) or, unless --ignore-stdin,
//     until its standard input ends.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "tools/http_fixture/end_signal.h"
#include "tools/tls_peer/test_certificates.h"
#include "tools/tls_peer/tls_listener.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: vrk_tls_peer certificates FOLDER\n"
               "       vrk_tls_peer serve FOLDER BACKEND_PORT PLAN... [--ignore-stdin]\n");
  return 2;
}

int Serve(const std::vector<std::string>& arguments) {
  bool watchInput = true;
  std::vector<std::string> positional;
  for (const std::string& argument : arguments) {
    if (argument == "--ignore-stdin") {
      watchInput = false;
    } else {
      positional.push_back(argument);
    }
  }
  unsigned backend = 0;
  if (positional.size() < 3) return Usage();
  const std::string& port = positional[1];
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), backend);
  if (error != std::errc() || end != port.data() + port.size() || backend == 0 || backend > 65535) return Usage();
  std::vector<vrk_test::ListenerPlan> plans;
  for (std::size_t i = 2; i < positional.size(); ++i) {
    const std::optional<vrk_test::ListenerPlan> plan = vrk_test::ParseListenerPlan(positional[i]);
    if (!plan) {
      std::fprintf(stderr, "vrk_tls_peer: not a listener: %s\n", positional[i].c_str());
      return Usage();
    }
    plans.push_back(*plan);
  }
  if (!vrk_test::PrepareForTheEnd()) return 1;
  std::string ports;
  for (const vrk_test::ListenerPlan& plan : plans) {
    const std::uint16_t listening = vrk_test::StartListener(plan, positional[0], static_cast<std::uint16_t>(backend));
    ports += "PORT " + std::to_string(listening) + "\n";
  }
  std::fputs(ports.c_str(), stdout);
  std::fflush(stdout);
  vrk_test::WaitForTheEnd(watchInput);
  // The connections' threads may still run: end without unwinding under them.
  std::_Exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  try {
    if (arguments.size() == 2 && arguments[0] == "certificates") {
      vrk_test::MakeTestCertificates(arguments[1]);
      return 0;
    }
    if (!arguments.empty() && arguments[0] == "serve") {
      return Serve(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "vrk_tls_peer: %s\n", failure.what());
    return 1;
  }
  return Usage();
}
