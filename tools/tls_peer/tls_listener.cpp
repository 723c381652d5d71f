#include "tools/tls_peer/tls_listener.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tools/tls_peer/connect_tunnel.h"
#include "tools/tls_peer/loopback.h"

namespace vrk_test {

namespace {

constexpr int kStepMs = 30000;  // the longest wait for the client or the backend

SSL_CTX* MakeContext(const ListenerPlan& plan, const std::filesystem::path& certificates) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (context == nullptr) throw std::runtime_error("no TLS context");
  const std::string chain = (certificates / (plan.certificate + ".pem")).string();
  const std::string key = (certificates / "key.pem").string();
  if (SSL_CTX_use_certificate_chain_file(context, chain.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(context, key.c_str(), SSL_FILETYPE_PEM) != 1) {
    throw std::runtime_error("cannot load " + chain);
  }
  if (plan.version != 0) {
    // The old versions need the library's lowest security level to be offered at all.
    SSL_CTX_set_security_level(context, 0);
    SSL_CTX_set_cipher_list(context, "DEFAULT:@SECLEVEL=0");
    SSL_CTX_set_min_proto_version(context, plan.version);
    SSL_CTX_set_max_proto_version(context, plan.version);
  } else {
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  }
  SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  return context;
}

// Waits for what the last call on the non-blocking session asked for; false when it failed.
bool WaitAfter(SSL* ssl, int result, int socket) {
  switch (SSL_get_error(ssl, result)) {
    case SSL_ERROR_WANT_READ:
      return loopback::WaitFor(socket, true, kStepMs);
    case SSL_ERROR_WANT_WRITE:
      return loopback::WaitFor(socket, false, kStepMs);
    default:
      return false;
  }
}

bool Accept(SSL* ssl, int socket) {
  for (;;) {
    const int result = SSL_accept(ssl);
    if (result == 1) return true;
    if (!WaitAfter(ssl, result, socket)) return false;
  }
}

bool WriteAll(SSL* ssl, int socket, const char* data, std::size_t size) {
  while (size > 0) {
    std::size_t written = 0;
    const int result = SSL_write_ex(ssl, data, size, &written);
    if (result == 1) {
      data += written;
      size -= written;
    } else if (!WaitAfter(ssl, result, socket)) {
      return false;
    }
  }
  return true;
}

// Asks for new keys in the middle of the answer: TLS 1.3 updates them, TLS 1.2 renegotiates.
void Rekey(SSL* ssl) {
  if (SSL_version(ssl) == TLS1_3_VERSION) {
    SSL_key_update(ssl, SSL_KEY_UPDATE_REQUESTED);
  } else {
    SSL_renegotiate(ssl);
  }
  SSL_do_handshake(ssl);
  ERR_clear_error();
}

// Request bytes from the client to the backend, the answer back, ended as the plan says.
void RelayTls(SSL* ssl, int client, int backend, const ListenerPlan& plan) {
  std::uint64_t answered = 0;
  bool requestOpen = true;
  bool rekeyed = false;
  char buffer[16384];
  for (;;) {
    pollfd watched[2] = {{requestOpen ? client : -1, POLLIN, 0}, {backend, POLLIN, 0}};
    const bool pending = requestOpen && SSL_pending(ssl) > 0;
    if (!pending && ::poll(watched, 2, kStepMs) <= 0) return;
    if (pending || watched[0].revents != 0) {
      std::size_t got = 0;
      const int result = SSL_read_ex(ssl, buffer, sizeof buffer, &got);
      if (result == 1) {
        if (!loopback::WriteAll(backend, buffer, got)) return;
      } else if (SSL_get_error(ssl, result) != SSL_ERROR_WANT_READ &&
                 SSL_get_error(ssl, result) != SSL_ERROR_WANT_WRITE) {
        requestOpen = false;
        ::shutdown(backend, SHUT_WR);
      }
      ERR_clear_error();
    }
    if (watched[1].revents == 0) continue;
    const ssize_t got = ::recv(backend, buffer, sizeof buffer, 0);
    if (got <= 0) {
      if (plan.closeNotify) SSL_shutdown(ssl);
      return;
    }
    std::size_t size = static_cast<std::size_t>(got);
    if (plan.cutAfter && answered + size >= *plan.cutAfter) {
      WriteAll(ssl, client, buffer, static_cast<std::size_t>(*plan.cutAfter - answered));
      return;
    }
    if (!WriteAll(ssl, client, buffer, size)) return;
    answered += size;
    if (plan.rekey && !rekeyed) {
      rekeyed = true;
      Rekey(ssl);
    }
  }
}

void ServeTls(int client, SSL_CTX* context, const ListenerPlan& plan, std::uint16_t backendPort) {
  loopback::SetNonBlocking(client);
  SSL* ssl = SSL_new(context);
  if (ssl != nullptr && SSL_set_fd(ssl, client) == 1 && Accept(ssl, client)) {
    const int backend = loopback::Connect(backendPort);
    if (backend >= 0) {
      RelayTls(ssl, client, backend, plan);
      ::close(backend);
    }
  }
  SSL_free(ssl);
  ERR_clear_error();
  loopback::CloseGracefully(client);
}

bool ParseCount(const std::string& text, std::uint64_t& count) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::optional<ListenerPlan> ParseListenerPlan(const std::string& text) {
  ListenerPlan plan;
  if (text == "tunnel") {
    plan.tunnel = true;
    return plan;
  }
  std::istringstream parts(text);
  std::string part;
  std::getline(parts, plan.certificate, ',');
  if (plan.certificate.empty()) return std::nullopt;
  while (std::getline(parts, part, ',')) {
    std::uint64_t count = 0;
    if (part == "tls1.0") {
      plan.version = TLS1_VERSION;
    } else if (part == "tls1.1") {
      plan.version = TLS1_1_VERSION;
    } else if (part == "tls1.2") {
      plan.version = TLS1_2_VERSION;
    } else if (part == "tls1.3") {
      plan.version = TLS1_3_VERSION;
    } else if (part == "no-close-notify") {
      plan.closeNotify = false;
    } else if (part == "rekey") {
      plan.rekey = true;
    } else if (part.rfind("cut-after=", 0) == 0 && ParseCount(part.substr(10), count)) {
      plan.cutAfter = count;
    } else {
      return std::nullopt;
    }
  }
  return plan;
}

std::uint16_t StartListener(const ListenerPlan& plan, const std::filesystem::path& certificates,
                            std::uint16_t backendPort) {
  SSL_CTX* context = plan.tunnel ? nullptr : MakeContext(plan, certificates);
  std::uint16_t port = 0;
  const int listener = loopback::Listen(port);
  if (listener < 0) throw std::runtime_error("cannot listen");
  std::thread([listener, context, plan, backendPort] {
    for (;;) {
      const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) continue;
      std::thread([client, context, plan, backendPort] {
        if (plan.tunnel) {
          ServeTunnel(client);
        } else {
          ServeTls(client, context, plan, backendPort);
        }
      }).detach();
    }
  }).detach();
  return port;
}

}  // namespace vrk_test
