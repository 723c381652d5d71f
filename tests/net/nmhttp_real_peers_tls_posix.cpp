// The private nginx over TLS, serving a folder where it lies: what the fetch benchmark's HTTPS
// rows stand on, checked through the HTTP client's own secure transfer.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "net/NMHttp.h"
#include "tests/e2e/tls_peer_process.h"
#include "tests/net/nmhttp_test_support.h"
#include "tests/support/child_process.h"
#include "tests/support/host.h"
#include "tests/support/scratch_folder.h"
#include "tools/real_peers/real_peers.h"

namespace vrk {
namespace {

using namespace http_test;

TEST(RealPeerNginx, ServesAnExistingFolderOverTls) {
  if (!vrk_test::NginxPeer::Program()) GTEST_SKIP() << "nginx is not installed";
  vrk_test::ScratchFolder certificates("vrk-nginx-tls-");
  vrk_test::ChildProcess maker(vrk_test::TlsPeerProgram(),
                               vrk_test::Arguments({"certificates", certificates.Path().string()}));
  ASSERT_EQ(maker.Wait(std::chrono::seconds(60)), 0);
  vrk_test::ScratchFolder served("vrk-nginx-root-");
  const std::string text = "served where it lies\r\nsecond line\n";
  served.Put("dir/text.txt", text);

  vrk_test::NginxPeer nginx(vrk_test::NginxSite().Root(served.Path()).Tls(
      certificates.Inside("good.pem"), certificates.Inside("key.pem")));
  vrk_test::SavedVariables saved({"SSL_CERT_FILE"});
  vrk_test::SetVariable("SSL_CERT_FILE", certificates.Inside("ca.pem"));
  auto client = MakeClient();
  client->Get(Text(nginx.Url("/dir/text.txt")));

  EXPECT_EQ(nginx.Url("/").rfind("https://127.0.0.1:", 0), 0u);
  EXPECT_EQ(client->ReplyNumber, 200);
  EXPECT_EQ(client->Body.ToStdString(), text);
  EXPECT_FALSE(std::filesystem::exists(nginx.Folder() / "www"));
}

}  // namespace
}  // namespace vrk
