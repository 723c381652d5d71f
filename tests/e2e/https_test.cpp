// HTTPS text fetches end to end: the tool against the TLS test peer (tools/tls_peer) in front of
// a scripted HTTP backend, with the private test CA made for the suite. One table of cases:
// what reaches the file, or which box and the files as they were.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/tls_peer_process.h"
#include "tests/support/host.h"
#include "tools/scripted_server/scripted_server.h"
#include "vrk_runner.h"
#ifdef _WIN32
#include "tests/support/eventually.h"
#include "tests/support/receiver_process.h"
#include "tests/support/windows_clipboard.h"
#else
#include "tests/support/x_clipboard.h"
#endif

namespace vrk_test {
namespace {

const std::string kText = "Teplota 21 \xb0" "C\r\nVitr slaby\r\n";
const std::string kCutShort = "Connection closed before the whole response arrived.";
const std::string kRefused = "The proxy refused the tunnel to the server.";
const std::string kNotTls = "The server did not answer in TLS.";

// Larger than a TLS record many times over, without a zero byte.
std::string LargeText() {
  std::string bytes(300 * 1024 + 3, 'x');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return bytes;
}

// The peer's listeners, in this order.
enum Listener { kGood, kExpired, kNotYetValid, kWrongHost, kSelfSigned, kUntrusted, kTls10,
                kNoCloseNotify, kCutMidBody, kKeyUpdate, kRenegotiation, kTunnel };
const std::vector<std::string> kPlans = {
    "good", "expired", "not-yet-valid", "wrong-host", "self-signed", "untrusted", "good,tls1.0",
    "good,no-close-notify",
    // The answer's head ("HTTP/1.0 200 OK\r\n\r\n") and five bytes of its body.
    "good,cut-after=24", "good,tls1.3,rekey", "good,tls1.2,rekey", "tunnel"};

HttpResponse SecureCookieRedirect(const std::string& location) {
  HttpResponse response = HttpResponse::Redirect(302, location);
  response.headers.emplace_back("Set-Cookie", "s=1; Secure");
  return response;
}

class Https : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (TlsPeerProgram().empty()) return;
    backend_ = std::make_unique<ScriptedServer>(ConnectionPlan::Http(Answer));
    peer_ = std::make_unique<TlsPeerProcess>(backend_->Port(), kPlans);
  }
  static void TearDownTestSuite() {
    peer_.reset();
    backend_.reset();
  }
  void SetUp() override {
    if (!peer_) GTEST_SKIP() << "needs the TLS peer (tools/tls_peer, VRK_TLS_PEER)";
  }

  static HttpResponse Answer(const HttpRequest& request) {
    const std::string& path = request.target;
    if (path == "/pocasi.txt") return HttpResponse::Text(200, kText);
    if (path == "/until-close.txt") return HttpResponse::Raw("HTTP/1.0 200 OK\r\n\r\n" + kText);
    if (path == "/large.txt") return HttpResponse::Text(200, LargeText());
    if (path == "/to-https") return HttpResponse::Redirect(302, Secure(kGood, "/pocasi.txt"));
    if (path == "/to-http-with-cookie") return SecureCookieRedirect(backend_->Url("/cookie.txt"));
    if (path == "/to-https-with-cookie") return SecureCookieRedirect(Secure(kGood, "/cookie.txt"));
    if (path == "/cookie.txt") return HttpResponse::Text(200, "cookie: " + request.Header("Cookie").value_or("none"));
    return HttpResponse::Text(404, "not here");
  }

  static std::string Secure(Listener listener, const std::string& path, const std::string& host = "localhost") {
    return "https://" + host + ":" + std::to_string(peer_->Port(listener)) + path;
  }

  RunResult Run(const std::vector<std::string>& arguments) {
    std::vector<std::string> environment = peer_->ToolEnvironment();
    environment.push_back("no_proxy=127.0.0.1");
    return folder_.Run(arguments, "", environment);
  }

  static inline std::unique_ptr<ScriptedServer> backend_;
  static inline std::unique_ptr<TlsPeerProcess> peer_;
  ToolFolder folder_;
};

struct Case {
  std::string name;
  std::string url;
  std::optional<std::uint16_t> proxyPort;
  std::optional<std::string> text;  // what reaches the file; none: nothing does
  std::string box;                  // the error box's text otherwise
  const char* wineLimit = nullptr;  // why Wine cannot run it, where it cannot
};

TEST_F(Https, TextsReachTheirFileOrFailWithTheCauseAndLeaveTheFilesAsTheyWere) {
  auto answerAtOnce = [](const std::string& bytes) {
    return ConnectionPlan::Repeating(Script().ReceiveBytes(1).Send(bytes).Close());
  };
  ScriptedServer plainHttp(answerAtOnce("HTTP/1.0 400 Bad Request\r\n\r\n"));
  ScriptedServer cutHandshake(ConnectionPlan::Repeating(Script().ReceiveBytes(1).Close()));
  // A handshake record whose message is out of place.
  ScriptedServer garbled(answerAtOnce(std::string("\x16\x03\x03\x00\x04\x0e\x00\x00\x01", 9)));
  ScriptedServer refusingProxy(ConnectionPlan::Sequence(
      {Script().ReceiveHead().Send("HTTP/1.0 407 Proxy Authentication Required\r\n\r\n").Close(),
       Script().ReceiveHead().Send("HTTP/1.0 200 Connection est").Close()}));
  auto at = [](const ScriptedServer& server) {
    return "https://localhost:" + std::to_string(server.Port()) + "/pocasi.txt";
  };
  const std::string large = LargeText();

  const Case cases[] = {
      {"good certificate, by name", Secure(kGood, "/pocasi.txt"), {}, kText, ""},
      {"good certificate, by address", Secure(kGood, "/pocasi.txt", "127.0.0.1"), {}, kText, ""},
      {"scheme in capitals, body until close_notify", "HTTPS://localhost:" + std::to_string(peer_->Port(kGood)) + "/until-close.txt", {}, kText, ""},
      {"expired", Secure(kExpired, "/pocasi.txt"), {}, {}, "The server's certificate has expired."},
      {"not yet valid", Secure(kNotYetValid, "/pocasi.txt"), {}, {}, "The server's certificate is not valid yet."},
      {"another host's, by name", Secure(kWrongHost, "/pocasi.txt"), {}, {}, "The server's certificate is for another host name."},
      {"another host's, by address", Secure(kWrongHost, "/pocasi.txt", "127.0.0.1"), {}, {}, "The server's certificate is for another host name."},
      {"self-signed", Secure(kSelfSigned, "/pocasi.txt"), {}, {}, "The server's certificate is self-signed and not trusted."},
      {"issued by an untrusted CA", Secure(kUntrusted, "/pocasi.txt"), {}, {}, "The server's certificate is not issued by a trusted authority."},
      {"TLS 1.0 only", Secure(kTls10, "/pocasi.txt"), {}, {}, "The server offers no secure protocol newer than TLS 1.1."},
      {"plain HTTP on the TLS port", at(plainHttp), {}, {}, kNotTls},
      {"handshake cut", at(cutHandshake), {}, {}, "The connection closed during the secure handshake."},
      {"handshake garbled", at(garbled), {}, {}, kNotTls},
      {"no close_notify at the end of a body until the close", Secure(kNoCloseNotify, "/until-close.txt"), {}, {}, kCutShort},
      {"no close_notify after the whole Content-Length", Secure(kNoCloseNotify, "/pocasi.txt"), {}, kText, ""},
      {"cut in the middle of the body", Secure(kCutMidBody, "/until-close.txt"), {}, {}, kCutShort},
      {"TLS 1.3 key update in the body", Secure(kKeyUpdate, "/large.txt"), {}, large, "",
       "Wine 8's Secure Channel offers TLS 1.2 at most"},
      {"TLS 1.2 renegotiation in the body", Secure(kRenegotiation, "/large.txt"), {}, large, ""},
      {"plain URL redirected to https", backend_->Url("/to-https"), {}, kText, ""},
      {"https to http withholds the Secure cookie", Secure(kGood, "/to-http-with-cookie"), {}, "cookie: none", ""},
      {"https to https carries it", Secure(kGood, "/to-https-with-cookie"), {}, "cookie: s=1; Secure", ""},
      {"through the proxy's tunnel", Secure(kGood, "/pocasi.txt"), peer_->Port(kTunnel), kText, ""},
      {"tunnel refused", Secure(kGood, "/pocasi.txt"), refusingProxy.Port(), {}, kRefused},
      {"tunnel answer cut", Secure(kGood, "/pocasi.txt"), refusingProxy.Port(), {}, kRefused},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.wineLimit != nullptr && RunningUnderWine()) {
      std::cout << "[  SKIPPED ] " << c.name << ": " << c.wineLimit << "\n";
      continue;
    }
    folder_.Put("out.txt", "earlier");
    std::filesystem::remove(FsPath(folder_.Inside("out.old")));
    folder_.WriteSettings(c.proxyPort ? "[Main]\r\nIP=127.0.0.1\r\nPort=" + std::to_string(*c.proxyPort) + "\r\n"
                                      : "[Main]\r\n");
    const RunResult run = Run({c.url, "W", "out.txt"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.text ? "" : Box("VRK", c.box));
    EXPECT_EQ(folder_.Get("out.txt"), c.text.value_or("earlier"));
    // Renamed only for a text that came whole.
    EXPECT_EQ(folder_.Exists("out.old") ? folder_.Get("out.old") : "(none)", c.text ? "earlier" : "(none)");
  }
  const std::string authority = "localhost:" + std::to_string(peer_->Port(kGood));
  EXPECT_EQ(refusingProxy.Received(0), "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n\r\n");
}

#ifdef _WIN32
TEST_F(Https, AnyOtherModeCopiesToTheClipboard) {
  EXPECT_EQ(Run({Secure(kGood, "/pocasi.txt"), "x"}).err, "");
  EXPECT_EQ(ClipboardText(), kText);
}

TEST_F(Https, WithoutModeTheTextGoesIntoTheReceivingProgram) {
  ReceiverProcess receiver(NativePath(VRK_RECEIVER), folder_.Inside("record.txt"));
  ASSERT_NE(receiver.Window(), nullptr);
  EXPECT_EQ(Run({Secure(kGood, "/pocasi.txt")}).err, "");
  Eventually([&] { return folder_.Get("record.txt") == kText; });
  EXPECT_EQ(folder_.Get("record.txt"), kText);
}
#else
TEST_F(Https, AnyOtherModeCopiesToTheClipboard) {
  if (!XClipboardReachable()) GTEST_SKIP() << "needs an X display and xclip (scripts/test.sh provides both)";
  const RunResult run = Run({Secure(kGood, "/pocasi.txt"), "x"});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(XClipboardText(), kText);
}
#endif

}  // namespace
}  // namespace vrk_test
