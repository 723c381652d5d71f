#include "bench/https_site.h"

#include <chrono>
#include <cstdio>
#include <exception>

#include "tests/support/child_process.h"

namespace vrk::bench {

namespace fs = std::filesystem;

namespace {

// The TLS test peer's program makes the CA and the certificates: its code, without linking a
// TLS library into the benchmark, whose own memory counts in every child's peak.
std::string CertificateMaker() {
#ifdef VRK_TLS_PEER
  return VRK_TLS_PEER;
#else
  return "";
#endif
}

bool MakeCertificates(const fs::path& folder) {
  vrk_test::ChildOptions options = vrk_test::Arguments({"certificates", folder.string()});
  options.input = options.output = vrk_test::Stream::kNull;
  vrk_test::ChildProcess maker(CertificateMaker(), options);
  return maker.Wait(std::chrono::seconds(120)) == 0;
}

}  // namespace

std::unique_ptr<HttpsSite> HttpsSite::Start(const fs::path& served, const fs::path& scratch) {
  if (!vrk_test::NginxPeer::Program()) {
    std::printf("nginx is not installed: no HTTPS rows\n");
    return nullptr;
  }
  if (CertificateMaker().empty() || !fs::exists(CertificateMaker())) {
    std::printf("the TLS test peer (vrk_tls_peer, built with OpenSSL) is missing: no HTTPS rows\n");
    return nullptr;
  }
  try {
    const fs::path certificates = scratch / "certificates";
    if (!MakeCertificates(certificates)) {
      std::printf("the TLS test peer made no certificates: no HTTPS rows\n");
      return nullptr;
    }
    auto nginx = std::make_unique<vrk_test::NginxPeer>(
        vrk_test::NginxSite().Root(served).Tls(certificates / "good.pem", certificates / "key.pem"));
    return std::unique_ptr<HttpsSite>(new HttpsSite(std::move(nginx), certificates / "ca.pem"));
  } catch (const std::exception& failure) {
    std::printf("no HTTPS rows: %s\n", failure.what());
    return nullptr;
  }
}

}  // namespace vrk::bench
