// The HTTP client's secure transfer in the process itself, against the TLS test peer: bodies far
// larger than a record and than the socket's buffers both ways, so sends wait for room and
// reads span many records, and the whole request reaches the server. The Windows build runs the
// Linux peer under Wine (tests/e2e/wine_peer.h).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "net/NMHttp.h"
#include "tests/e2e/tls_peer_process.h"
#include "tests/net/nmhttp_test_support.h"
#include "tests/support/host.h"

namespace vrk {
namespace {

using namespace http_test;

std::string Pattern(std::size_t count, char first) {
  std::string bytes(count, first);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(first + i % 23);
  return bytes;
}

TEST(NMHttpTls, LargeBodiesCrossBothWaysWhole) {
  if (vrk_test::TlsPeerProgram().empty()) GTEST_SKIP() << "needs the TLS peer (tools/tls_peer, VRK_TLS_PEER)";
  const std::string upload = Pattern((3 << 20) + 5, 'a');
  const std::string answer = Pattern((2 << 20) + 9, 'A');
  ScriptedServer backend(ConnectionPlan::Http([&](const HttpRequest& request) {
    return HttpResponse::Text(request.body == upload ? 200 : 400, answer);
  }));
  vrk_test::TlsPeerProcess peer(backend.Port(), {"good"});
  vrk_test::SavedVariables saved({"SSL_CERT_FILE"});
  vrk_test::SetVariable("SSL_CERT_FILE", peer.CaFile());

  auto client = MakeClient(30000);
  client->EncodePostData = false;
  client->Post(Text("https://localhost:" + std::to_string(peer.Port(0)) + "/upload"), Text(upload));
  EXPECT_EQ(client->ReplyNumber, 200);
  EXPECT_EQ(client->Body.Length(), answer.size());
  EXPECT_TRUE(client->Body == Text(answer));
  EXPECT_FALSE(client->IsSecure());  // the session ended with its connection
}

}  // namespace
}  // namespace vrk
