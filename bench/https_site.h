// The fetch benchmark's HTTPS server: a private nginx serving the benchmark's folder over TLS
// on loopback, with a certificate for 127.0.0.1 and localhost from a private CA made in the
// benchmark's scratch folder. The machine's trust store is never touched: each client is told
// the CA itself.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "tools/real_peers/real_peers.h"

namespace vrk::bench {

class HttpsSite {
 public:
  // Serves `served`; null, with the reason printed, when nginx or the TLS test peer that makes
  // the certificates is missing or either fails.
  static std::unique_ptr<HttpsSite> Start(const std::filesystem::path& served,
                                          const std::filesystem::path& scratch);

  std::string Base() const { return nginx_->Url("/"); }  // "https://127.0.0.1:PORT/"
  const std::filesystem::path& CaFile() const { return caFile_; }

 private:
  HttpsSite(std::unique_ptr<vrk_test::NginxPeer> nginx, std::filesystem::path caFile)
      : nginx_(std::move(nginx)), caFile_(std::move(caFile)) {}

  std::unique_ptr<vrk_test::NginxPeer> nginx_;
  std::filesystem::path caFile_;
};

}  // namespace vrk::bench
