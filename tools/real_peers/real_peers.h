// Real HTTP peers for one test each: a private nginx serving a folder with redirections
// and cookie endpoints, over HTTP or TLS, and a private squid forwarding to it. Each runs in
// the foreground from a scratch folder of its own (configuration, logs, pid and temporary
// files), listens on 127.0.0.1 and an ephemeral port, and is stopped and cleared away by its
// destructor.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scratch_folder.h"
#include "tools/real_peers/peer_process.h"

namespace vrk_test {

// What a private nginx serves besides its static files.
class NginxSite {
 public:
  struct Redirection {
    std::string path;  // exact request path, e.g. "/old"
    int status;        // 301, 302, 303, 307 or 308
    std::string location;  // a path (made absolute by nginx) or a full URL
  };
  struct CookieEndpoint {
    std::string path;
    std::string setCookie;  // the value of the Set-Cookie line
    int status;             // 200: `value` is a text/plain body; 3xx: it is the Location
    std::string value;
  };

  // A static file, its path relative to the document root.
  NginxSite& File(std::string path, std::string bytes);
  NginxSite& Redirect(std::string path, int status, std::string location);
  NginxSite& Cookie(std::string path, std::string setCookie, std::string value, int status = 200);
  // Serves this existing folder as the document root, in place of one made of File()s: a
  // large text is served where it lies, never copied.
  NginxSite& Root(std::filesystem::path folder);
  // Listens with TLS: the server certificate (PEM, any intermediates after it) and its key.
  NginxSite& Tls(std::filesystem::path certificate, std::filesystem::path key);

  const std::vector<std::pair<std::string, std::string>>& Files() const { return files_; }
  const std::vector<Redirection>& Redirections() const { return redirections_; }
  const std::vector<CookieEndpoint>& CookieEndpoints() const { return cookies_; }
  const std::filesystem::path& RootFolder() const { return root_; }  // empty: its own
  bool Secure() const { return !certificate_.empty(); }
  const std::filesystem::path& Certificate() const { return certificate_; }
  const std::filesystem::path& Key() const { return key_; }

 private:
  std::vector<std::pair<std::string, std::string>> files_;
  std::vector<Redirection> redirections_;
  std::vector<CookieEndpoint> cookies_;
  std::filesystem::path root_;
  std::filesystem::path certificate_;
  std::filesystem::path key_;
};

class NginxPeer {
 public:
  // The installed program, or nothing when nginx is missing.
  static std::optional<std::filesystem::path> Program();

  // Starts and waits until it accepts connections; throws when it cannot.
  explicit NginxPeer(const NginxSite& site);
  ~NginxPeer();
  NginxPeer(const NginxPeer&) = delete;
  NginxPeer& operator=(const NginxPeer&) = delete;

  std::uint16_t Port() const { return port_; }
  // "http://127.0.0.1:PORT" + path, or "https://..." for a site with TLS.
  std::string Url(const std::string& path) const;
  const std::filesystem::path& Folder() const { return folder_.Path(); }
  // The access log so far, one line per request: the request line, the status, then the
  // Cookie and Via lines of the request in quotes ("-" when absent).
  std::string AccessLog() const { return folder_.Get("logs/access.log"); }
  // Stops the server now (the destructor does it otherwise).
  void Stop();

 private:
  std::string Configuration(const NginxSite& site) const;

  ScratchFolder folder_{"vrk_nginx_"};
  std::uint16_t port_ = 0;
  bool secure_ = false;
  std::unique_ptr<ChildProcess> process_;
};

struct SquidOptions {
  // Whether client connections stay open after a response when the client asks for it.
  bool clientKeepAlive = true;
};

class SquidPeer {
 public:
  static std::optional<std::filesystem::path> Program();

  explicit SquidPeer(SquidOptions options = {});
  ~SquidPeer();
  SquidPeer(const SquidPeer&) = delete;
  SquidPeer& operator=(const SquidPeer&) = delete;

  std::uint16_t Port() const { return port_; }
  const std::filesystem::path& Folder() const { return folder_.Path(); }
  std::string AccessLog() const { return folder_.Get("access.log"); }
  void Stop();

 private:
  std::string Configuration(const SquidOptions& options) const;

  ScratchFolder folder_{"vrk_squid_"};
  std::uint16_t port_ = 0;
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace vrk_test
