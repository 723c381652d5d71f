#include "fuzz/tls_script_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>

#include "tools/tls_peer/test_certificates.h"

namespace vrk::fuzz {

namespace {

// Long enough for a loaded machine, short enough that a client gone quiet costs little.
constexpr int kWaitMs = 1000;
constexpr std::size_t kLargestRecord = 16384;
// The client pumps its messages once a record, some 70 us with the sanitizers: past this many
// records the rest go out in the largest, so that no input runs into the client's time-out.
constexpr std::size_t kMostRecords = 4096;
// A request head larger than this is not the client's.
constexpr std::size_t kLargestRequest = 65536;

bool WaitFor(int fd, short events) {
  pollfd entry{fd, events, 0};
  return ::poll(&entry, 1, kWaitMs) > 0;
}

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("TLS script server: cannot ") + what);
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

SSL_CTX* NewServerContext(const std::filesystem::path& certificates, int newest) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  Check(context != nullptr, "make a context");
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  if (newest != 0) SSL_CTX_set_max_proto_version(context, newest);
  Check(SSL_CTX_use_certificate_chain_file(context, (certificates / "good.pem").c_str()) == 1 &&
            SSL_CTX_use_PrivateKey_file(context, (certificates / "key.pem").c_str(), SSL_FILETYPE_PEM) == 1,
        "load the certificate");
  return context;
}

// One accepted connection and the play on it. Records are written into a memory buffer and
// leave it through Emit, where the script may invert or cut them.
class Connection {
 public:
  Connection(SSL_CTX* context, int fd, const TlsScript& script) : fd_(fd) {
    ssl_ = SSL_new(context);
    if (ssl_ == nullptr) ::close(fd);
    Check(ssl_ != nullptr, "make a session");
    SSL_set_num_tickets(ssl_, script.tickets ? 2 : 0);
    out_ = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl_, BIO_new_socket(fd, BIO_NOCLOSE), out_);
    SSL_set_accept_state(ssl_);
  }
  ~Connection() {
    SSL_free(ssl_);
    ::close(fd_);
    ERR_clear_error();
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  TlsPlay Run(const TlsScript& script) {
    play_.handshook = Drive([this] { return SSL_accept(ssl_); }) && ReadRequest();
    if (play_.handshook) {
      for (const TlsStep& step : script.steps) {
        if (!Take(step)) break;
      }
      if (open_) SendPending();
    }
    End();
    return play_;
  }

 private:
  // Repeats an SSL call while it waits for the client, sending what it wrote each time; true
  // when the call succeeded and all it wrote went out.
  template <typename Call>
  bool Drive(Call call) {
    for (;;) {
      ERR_clear_error();
      const int result = call();
      const bool whole = Emit();
      if (result > 0 || !whole || !open_) return result > 0 && whole;
      if (SSL_get_error(ssl_, result) != SSL_ERROR_WANT_READ || !WaitFor(fd_, POLLIN)) return false;
    }
  }

  bool ReadRequest() {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kLargestRequest) {
      // Under TLS 1.3 the request follows the client's Finished as a second small segment,
      // held until the first is acknowledged: without tickets to send, a delayed
      // acknowledgement would cost every input 40 ms.
      const int yes = 1;
      ::setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &yes, sizeof yes);
      std::size_t got = 0;
      if (!Drive([&] { return SSL_read_ex(ssl_, buffer, sizeof buffer, &got); })) return false;
      request.append(buffer, got);
    }
    return true;
  }

  // False once the play has ended.
  bool Take(const TlsStep& step) {
    using Kind = TlsStep::Kind;
    switch (step.kind) {
      case Kind::Plain:
        pending_ += step.bytes;
        return true;
      case Kind::RecordSize:
        recordSize_ = step.number == 0 ? kLargestRecord : std::min(step.number, kLargestRecord);
        return true;
      case Kind::Invert:
        invertAt_ = step.number;
        return true;
      default:
        break;
    }
    if (!SendPending()) return false;
    switch (step.kind) {
      case Kind::CutAfter:
        budget_ = step.number;
        Emit();
        return open_;
      case Kind::Raw:
        play_.tampered = play_.tampered || !step.bytes.empty();
        SendRaw(step.bytes);
        return open_;
      case Kind::Rekey: {
        const int started = SSL_version(ssl_) == TLS1_3_VERSION ? SSL_key_update(ssl_, SSL_KEY_UPDATE_REQUESTED)
                                                                : SSL_renegotiate(ssl_);
        return started == 1 && Drive([this] { return SSL_do_handshake(ssl_); }) && open_;
      }
      case Kind::CloseNotify:
        ERR_clear_error();
        SSL_shutdown(ssl_);
        play_.closeNotify = Emit() && !play_.tampered;
        return false;
      case Kind::Reset:
        play_.reset = true;
        return false;
      default:
        return true;
    }
  }

  // False once nothing more can go out.
  bool SendPending() {
    std::string_view rest = pending_;
    bool sent = true;
    while (sent && open_ && !rest.empty()) {
      if (++records_ > kMostRecords) recordSize_ = kLargestRecord;
      const std::string_view record = rest.substr(0, recordSize_);
      std::size_t written = 0;
      sent = Drive([&] { return SSL_write_ex(ssl_, record.data(), record.size(), &written); });
      if (sent) {
        play_.plain.append(record.substr(0, written));
        rest.remove_prefix(written);
      }
    }
    pending_.clear();
    return sent && open_;
  }

  // Sends what the session wrote since the last time; false when not all of it went out.
  bool Emit() {
    std::string bytes;
    char buffer[4096];
    for (int got; (got = BIO_read(out_, buffer, sizeof buffer)) > 0;) {
      bytes.append(buffer, static_cast<std::size_t>(got));
    }
    if (!bytes.empty() && invertAt_) {
      bytes[*invertAt_ % bytes.size()] ^= '\xFF';
      invertAt_.reset();
      play_.tampered = true;
    }
    return SendRaw(bytes);
  }

  // True when all of `bytes` went out; the budget's end or a failed send ends the sending.
  bool SendRaw(std::string_view bytes) {
    if (!open_) return bytes.empty();
    bool whole = true;
    if (budget_ && bytes.size() >= *budget_) {
      whole = bytes.size() == *budget_;
      play_.tampered = play_.tampered || !whole;
      bytes = bytes.substr(0, *budget_);
      open_ = false;
    } else if (budget_) {
      *budget_ -= bytes.size();
    }
    while (!bytes.empty()) {
      const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(sent));
      } else if (sent < 0 && errno == EAGAIN && WaitFor(fd_, POLLOUT)) {
        continue;
      } else {
        open_ = false;
        return false;
      }
    }
    return whole;
  }

  // A reset, or the end of the sending side; then whatever the client still sends is read
  // until it closes, so that its bytes left unread turn no close into a reset.
  void End() {
    if (play_.reset) {
      const linger abrupt{1, 0};
      ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abrupt, sizeof abrupt);
      return;
    }
    ::shutdown(fd_, SHUT_WR);
    char buffer[4096];
    while (WaitFor(fd_, POLLIN) && ::recv(fd_, buffer, sizeof buffer, 0) > 0) {
    }
  }

  int fd_;
  SSL* ssl_ = nullptr;
  BIO* out_ = nullptr;
  TlsPlay play_;
  std::string pending_;
  std::size_t recordSize_ = kLargestRecord;
  std::size_t records_ = 0;
  std::optional<std::size_t> invertAt_;
  std::optional<std::size_t> budget_;  // bytes that may still reach the socket
  bool open_ = true;
};

}  // namespace

TlsScriptServer::TlsScriptServer() {
  // The certificates are read and their folder goes at once; the CA stays in memory.
  const char* temporary = std::getenv("TMPDIR");
  std::string pattern = std::string(temporary != nullptr && *temporary != '\0' ? temporary : "/tmp") +
                        "/vrk-fuzz-tls-XXXXXX";
  Check(::mkdtemp(pattern.data()) != nullptr, "make a folder");
  const std::filesystem::path folder = pattern;
  const std::filesystem::path certificates = folder / "certificates";
  vrk_test::MakeTestCertificates(certificates);
  modern_ = NewServerContext(certificates, 0);
  tls12_ = NewServerContext(certificates, TLS1_2_VERSION);
  const std::string ca = ReadWholeFile(certificates / "ca.pem");
  std::filesystem::remove_all(folder);
  trustedRoots_ = ::memfd_create("vrk-fuzz-ca", 0);
  Check(trustedRoots_ >= 0 && ::write(trustedRoots_, ca.data(), ca.size()) == static_cast<ssize_t>(ca.size()),
        "keep the CA");
  ::setenv("SSL_CERT_FILE", ("/proc/self/fd/" + std::to_string(trustedRoots_)).c_str(), 1);

  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  Check(listener_ >= 0 && ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(listener_, 4) == 0 &&
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0,
        "listen on 127.0.0.1");
  port_ = ntohs(address.sin_port);
}

TlsScriptServer::~TlsScriptServer() {
  SSL_CTX_free(modern_);
  SSL_CTX_free(tls12_);
  if (listener_ >= 0) ::close(listener_);
  if (trustedRoots_ >= 0) ::close(trustedRoots_);
}

TlsPlay TlsScriptServer::Play(const TlsScript& script) const {
  if (!WaitFor(listener_, POLLIN)) return {};
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return {};
  try {
    Connection connection(script.tls12 ? tls12_ : modern_, fd, script);
    return connection.Run(script);
  } catch (const std::runtime_error&) {
    return {};  // the client then fails its handshake, as with a server that went away
  }
}

}  // namespace vrk::fuzz
