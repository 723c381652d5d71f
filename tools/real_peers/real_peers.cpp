#include "tools/real_peers/real_peers.h"

#include <pwd.h>
#include <unistd.h>

#include <sstream>
#include <stdexcept>
#include <string_view>

namespace vrk_test {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

namespace {

// Each attempt takes a new port, in case another program took the one found free.
constexpr int kStartAttempts = 3;
constexpr milliseconds kStartLimit{15000};

// Values go into the configurations verbatim inside double quotes or as bare words, so
// anything nginx would interpret (variables, escapes, quotes, separators) is refused.
const std::string& Checked(const std::string& value) {
  for (char c : value) {
    if (c == '"' || c == '\\' || c == '$' || c == '{' || c == '}' || static_cast<unsigned char>(c) < 0x20) {
      throw std::invalid_argument("not usable in a server configuration: " + value);
    }
  }
  return value;
}

std::string Quoted(const std::string& value) { return "\"" + Checked(value) + "\""; }

// The server in the foreground, its output kept in the folder for when it does not start.
std::unique_ptr<ChildProcess> Start(const fs::path& program, std::vector<std::string> arguments,
                                    const ScratchFolder& folder) {
  ChildOptions options;
  options.arguments = std::move(arguments);
  options.input = Stream::kNull;
  options.outputFile = folder.Inside("output.log");
  return std::make_unique<ChildProcess>(program.string(), options);
}

std::string Tail(const std::string& text) {
  constexpr std::size_t kKept = 2000;
  return text.size() <= kKept ? text : text.substr(text.size() - kKept);
}

}  // namespace

NginxSite& NginxSite::File(std::string path, std::string bytes) {
  files_.emplace_back(std::move(path), std::move(bytes));
  return *this;
}

NginxSite& NginxSite::Redirect(std::string path, int status, std::string location) {
  redirections_.push_back({std::move(path), status, std::move(location)});
  return *this;
}

NginxSite& NginxSite::Cookie(std::string path, std::string setCookie, std::string value, int status) {
  cookies_.push_back({std::move(path), std::move(setCookie), status, std::move(value)});
  return *this;
}

NginxSite& NginxSite::Root(fs::path folder) {
  root_ = std::move(folder);
  return *this;
}

NginxSite& NginxSite::Tls(fs::path certificate, fs::path key) {
  certificate_ = std::move(certificate);
  key_ = std::move(key);
  return *this;
}

std::optional<fs::path> NginxPeer::Program() { return FindProgram("nginx"); }

NginxPeer::NginxPeer(const NginxSite& site) : secure_(site.Secure()) {
  const auto program = Program();
  if (!program) throw std::runtime_error("nginx is not installed");
  for (const auto& [path, bytes] : site.Files()) folder_.Put("www/" + path, bytes);
  fs::create_directories(Folder() / "logs");
  fs::create_directories(Folder() / "temp");

  std::string lastOutput;
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    port_ = FreeLoopbackPort();
    const std::string config = folder_.Put("nginx.conf", Configuration(site));
    // -e: errors from before the configuration is read must not go to the system's log.
    process_ = Start(*program, {"-p", Folder().string() + "/", "-c", config, "-e",
                                folder_.Inside("logs/error.log")}, folder_);
    if (WaitUntilListening(*process_, port_, kStartLimit)) return;
    process_->Stop();
    lastOutput = folder_.Get("output.log") + folder_.Get("logs/error.log");
  }
  throw std::runtime_error("nginx did not start: " + Tail(lastOutput));
}

NginxPeer::~NginxPeer() { Stop(); }

void NginxPeer::Stop() {
  if (process_) process_->Stop();
}

std::string NginxPeer::Url(const std::string& path) const {
  return (secure_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

std::string NginxPeer::Configuration(const NginxSite& site) const {
  const std::string folder = Folder().string();
  std::ostringstream out;
  // One foreground process: nothing to find and stop but the child we started.
  out << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
      << "pid " << folder << "/logs/nginx.pid;\n"
      << "error_log " << folder << "/logs/error.log warn;\n"
      << "events { worker_connections 64; }\n"
      << "http {\n"
      << "  log_format requests '$request $status \"$http_cookie\" \"$http_via\"';\n"
      << "  access_log " << folder << "/logs/access.log requests;\n"
      // The compiled-in temporary paths are system folders a normal user cannot write.
      << "  client_body_temp_path " << folder << "/temp/body;\n"
      << "  proxy_temp_path " << folder << "/temp/proxy;\n"
      << "  fastcgi_temp_path " << folder << "/temp/fastcgi;\n"
      << "  uwsgi_temp_path " << folder << "/temp/uwsgi;\n"
      << "  scgi_temp_path " << folder << "/temp/scgi;\n"
      << "  types { text/plain txt; text/html html htm; }\n"
      << "  default_type application/octet-stream;\n"
      << "  server_tokens off;\n"
      << "  server {\n"
      << "    listen 127.0.0.1:" << port_ << (site.Secure() ? " ssl" : "") << ";\n"
      << "    server_name localhost;\n"
      << "    root "
      << Quoted(site.RootFolder().empty() ? folder + "/www" : fs::absolute(site.RootFolder()).string()) << ";\n";
  if (site.Secure()) {
    out << "    ssl_certificate " << Quoted(fs::absolute(site.Certificate()).string()) << ";\n"
        << "    ssl_certificate_key " << Quoted(fs::absolute(site.Key()).string()) << ";\n";
  }
  for (const auto& redirection : site.Redirections()) {
    out << "    location = " << Checked(redirection.path) << " { return " << redirection.status << ' '
        << Quoted(redirection.location) << "; }\n";
  }
  for (const auto& cookie : site.CookieEndpoints()) {
    out << "    location = " << Checked(cookie.path) << " {\n"
        << "      default_type text/plain;\n"
        << "      add_header Set-Cookie " << Quoted(cookie.setCookie) << ";\n"
        << "      return " << cookie.status << ' ' << Quoted(cookie.value) << ";\n"
        << "    }\n";
  }
  out << "  }\n}\n";
  return out.str();
}

std::optional<fs::path> SquidPeer::Program() { return FindProgram("squid"); }

SquidPeer::SquidPeer(SquidOptions options) {
  const auto program = Program();
  if (!program) throw std::runtime_error("squid is not installed");
  std::string lastOutput;
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    port_ = FreeLoopbackPort();
    const std::string config = folder_.Put("squid.conf", Configuration(options));
    if (::geteuid() == 0) {
      // Started as root, squid drops to its effective user, who must write the logs here.
      if (const passwd* user = ::getpwnam("proxy")) {
        for (const auto& entry : fs::recursive_directory_iterator(Folder())) {
          (void)::chown(entry.path().c_str(), user->pw_uid, user->pw_gid);
        }
        (void)::chown(Folder().c_str(), user->pw_uid, user->pw_gid);
      }
    }
    process_ = Start(*program, {"-N", "-f", config}, folder_);
    if (WaitUntilListening(*process_, port_, kStartLimit)) return;
    process_->Stop();
    lastOutput = folder_.Get("output.log") + folder_.Get("cache.log");
  }
  throw std::runtime_error("squid did not start: " + Tail(lastOutput));
}

SquidPeer::~SquidPeer() { Stop(); }

void SquidPeer::Stop() {
  if (process_) process_->Stop();
}

std::string SquidPeer::Configuration(const SquidOptions& options) const {
  const std::string folder = Folder().string();
  std::ostringstream out;
  out << "http_port 127.0.0.1:" << port_ << "\n"
      << "acl vrk_clients src 127.0.0.1/32\n"
      << "http_access allow vrk_clients\n"
      << "http_access deny all\n"
      << "cache deny all\n"
      << "cache_mem 8 MB\n"
      << "client_persistent_connections " << (options.clientKeepAlive ? "on" : "off") << "\n"
      << "access_log stdio:" << folder << "/access.log\n"
      << "cache_log " << folder << "/cache.log\n"
      << "cache_store_log none\n"
      << "pid_filename " << folder << "/squid.pid\n"
      << "coredump_dir " << folder << "\n"
      << "netdb_filename none\n"
      << "logfile_rotate 0\n"
      << "icp_port 0\n"
      << "htcp_port 0\n"
      << "pinger_enable off\n"
      << "visible_hostname vrk-test-proxy\n"
      // Stopping must not wait for open client connections.
      << "shutdown_lifetime 0 seconds\n";
  if (::geteuid() == 0 && ::getpwnam("proxy") != nullptr) out << "cache_effective_user proxy\n";
  return out.str();
}

}  // namespace vrk_test
