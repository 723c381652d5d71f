// Shared pieces of the HTTP client's tests: a client bound to a time limit, the fixed
// lines of every request head and an event log.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "net/NMHttp.h"
#include "tests/support/scratch_folder.h"
#include "tools/scripted_server/scripted_server.h"

namespace vrk::http_test {

// Every suite that takes these pieces writes times and byte texts as literals.
using namespace std::chrono_literals;
using namespace std::string_literals;

using vrk_test::ConnectionPlan;
using vrk_test::HttpRequest;
using vrk_test::HttpResponse;
using vrk_test::Script;
using vrk_test::ScriptedServer;

inline constexpr const char* kAcceptLines =
    "Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff\r\n"
    "Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript\r\n";
inline constexpr const char* kContentType = "Content-type: application/x-www-form-urlencoded\r\n";

// A client whose every wait ends within the time-out, so no test can hang.
inline std::unique_ptr<TNMHTTP> MakeClient(std::int32_t timeOut = 10000) {
  auto client = std::make_unique<TNMHTTP>(nullptr);
  client->TimeOut = timeOut;
  return client;
}

// A client that reaches the server through it as a proxy.
inline std::unique_ptr<TNMHTTP> MakeProxiedClient(const ScriptedServer& server) {
  auto client = MakeClient();
  client->Proxy = "127.0.0.1";
  client->ProxyPort = server.Port();
  return client;
}

// Each connection reads the request head and answers with these bytes, then closes.
inline Script Answer(const std::string& response) {
  return Script().ReceiveHead().Send(response).Close();
}

inline std::string Response(const std::string& statusLine, const std::string& headers,
                            const std::string& body) {
  return statusLine + "\r\n" + headers + "\r\n" + body;
}

// The order in which the client's events came.
struct EventLog {
  std::vector<std::string> events;
  void Attach(TNMHTTP& client) {
    client.OnSuccess = [this](CmdType cmd) { events.push_back("success " + std::to_string(cmd)); };
    client.OnFailure = [this](CmdType cmd) { events.push_back("failure " + std::to_string(cmd)); };
    client.OnRedirect = [this](bool&) { events.push_back("redirect"); };
    client.OnAuthenticationNeeded = [this](TObject*) { events.push_back("authentication"); };
    client.OnAboutToSend = [this](TObject*) { events.push_back("send"); };
  }
};

}  // namespace vrk::http_test
