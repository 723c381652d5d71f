// The Linux side of the TLS session: OpenSSL 3, loaded at the first session, over a BIO of our
// own that moves the records with the emulation's recv and send on the component's socket. So
// the socket's notifications are consumed and re-armed as for a plain transfer, and no byte is
// read ahead of the record the library asks for: what the kernel holds stays announced.
#include "platform/tls_session.h"

#include <new>

#include "platform/winapi.h"
#include "platform/posix/tls/openssl_failure.h"
#include "platform/posix/tls/openssl_library.h"

#include <openssl/err.h>

namespace vrk {

namespace {

using vrk_posix::OpensslLibrary;

// What the BIO knows of its socket.
struct SocketLink {
  const OpensslLibrary* library;
  SOCKET socket;
  bool ended = false;  // the peer closed the TCP connection
};

SocketLink& LinkOf(BIO* bio) {
  const OpensslLibrary& library = *vrk_posix::Openssl();
  return *static_cast<SocketLink*>(library.bioGetData(bio));
}

// A Winsock result as the BIO answers it: bytes, the end, or a retry when it would block.
int BioResult(BIO* bio, int result, int retryFlag) {
  SocketLink& link = LinkOf(bio);
  link.library->bioClearFlags(bio, BIO_FLAGS_RWS | BIO_FLAGS_SHOULD_RETRY);
  if (result > 0) return result;
  if (result == 0) {
    link.ended = true;
    return 0;
  }
  if (WSAGetLastError() == WSAEWOULDBLOCK) {
    link.library->bioSetFlags(bio, retryFlag | BIO_FLAGS_SHOULD_RETRY);
  }
  return -1;
}

int BioRead(BIO* bio, char* buffer, int size) {
  return BioResult(bio, recv(LinkOf(bio).socket, buffer, size, 0), BIO_FLAGS_READ);
}

int BioWrite(BIO* bio, const char* data, int size) {
  return BioResult(bio, send(LinkOf(bio).socket, data, size, 0), BIO_FLAGS_WRITE);
}

long BioCtrl(BIO* bio, int command, long, void*) {
  switch (command) {
    case BIO_CTRL_FLUSH:
      return 1;  // every write went to the socket at once
    case BIO_CTRL_EOF:
      return LinkOf(bio).ended ? 1 : 0;
    default:
      return 0;
  }
}

int BioCreate(BIO* bio) {
  vrk_posix::Openssl()->bioSetInit(bio, 1);
  return 1;
}

const BIO_METHOD* SocketBioMethod(const OpensslLibrary& library) {
  static BIO_METHOD* const method = [&library] {
    BIO_METHOD* made = library.bioMethNew(BIO_TYPE_SOURCE_SINK | library.bioGetNewIndex(), "vrk socket");
    if (made != nullptr) {
      library.bioMethSetRead(made, BioRead);
      library.bioMethSetWrite(made, BioWrite);
      library.bioMethSetCtrl(made, BioCtrl);
      library.bioMethSetCreate(made, BioCreate);
    }
    return made;
  }();
  return method;
}

// A context for one session: the system's trusted roots (SSL_CERT_FILE and SSL_CERT_DIR where
// set) as the environment names them now, TLS 1.2 the least offered, every peer verified.
// Null when the library cannot make one.
SSL_CTX* NewClientContext(const OpensslLibrary& library) {
  SSL_CTX* made = library.ctxNew(library.tlsClientMethod());
  if (made == nullptr) return nullptr;
  if (library.ctxCtrl(made, SSL_CTRL_SET_MIN_PROTO_VERSION, TLS1_2_VERSION, nullptr) != 1) {
    library.ctxFree(made);
    return nullptr;
  }
  library.ctxCtrl(made, SSL_CTRL_MODE, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER,
                  nullptr);
  library.ctxSetVerify(made, SSL_VERIFY_PEER, nullptr);
  // Without readable roots every chain is untrusted, which the handshake then says.
  library.ctxSetDefaultVerifyPaths(made);
  return made;
}

class OpensslSession final : public TlsSession {
 public:
  OpensslSession(const OpensslLibrary& library, SSL* ssl, SOCKET socket)
      : library_(library), ssl_(ssl), link_{&library, socket} {}
  ~OpensslSession() override { library_.sslFree(ssl_); }

  SocketLink& Link() noexcept { return link_; }

  Step Handshake() override {
    if (failed_) return Step::Failed;
    library_.errClearError();
    const int result = library_.doHandshake(ssl_);
    if (result == 1) {
      handshakeDone_ = true;
      return Step::Done;
    }
    const int error = library_.getError(ssl_, result);
    if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) return Step::WouldBlock;
    return Fail(vrk_posix::HandshakeFailure(library_.getVerifyResult(ssl_), LastError(error)));
  }

  Step Receive(char* buffer, std::size_t size, bool peek, std::size_t& received) override {
    received = 0;
    if (failed_) return Step::Failed;
    if (size == 0) return Step::Done;
    if (closed_) return Step::Closed;
    library_.errClearError();
    const int result = peek ? library_.peekEx(ssl_, buffer, size, &received)
                            : library_.readEx(ssl_, buffer, size, &received);
    if (result == 1 && received > 0) return Step::Done;
    return TransferOutcome(result);
  }

  Step Send(const char* data, std::size_t size, std::size_t& sent) override {
    sent = 0;
    if (failed_) return Step::Failed;
    if (size == 0) return Step::Done;
    if (closed_) return Step::Closed;
    library_.errClearError();
    const int result = library_.writeEx(ssl_, data, size, &sent);
    if (result == 1 && sent > 0) return Step::Done;
    return TransferOutcome(result);
  }

  std::size_t Buffered() const noexcept override {
    const int pending = library_.pending(ssl_);
    return pending > 0 ? static_cast<std::size_t>(pending) : 0;
  }

  void Shutdown() noexcept override {
    // Once, and only on a session that still stands: a failed one must send nothing more.
    if (!handshakeDone_ || failed_ || shutDown_) return;
    shutDown_ = true;
    library_.errClearError();
    library_.shutdown(ssl_);
    library_.errClearError();
  }

  TlsFailure Failure() const override { return failure_; }

  // A session that cannot succeed: its handshake fails at once with this cause.
  void FailFromTheStart(TlsFailure failure) { Fail(failure); }

 private:
  // The library's error code behind an SSL_ERROR_ value; 0 when the socket itself failed.
  unsigned long LastError(int error) const {
    if (error == SSL_ERROR_SYSCALL) return 0;
    return library_.errPeekLastError();
  }

  Step TransferOutcome(int result) {
    const int error = library_.getError(ssl_, result);
    switch (error) {
      case SSL_ERROR_WANT_READ:
      case SSL_ERROR_WANT_WRITE:
      case SSL_ERROR_NONE:  // a post-handshake message taken, no application bytes yet
        return Step::WouldBlock;
      case SSL_ERROR_ZERO_RETURN:
        closed_ = true;
        return Step::Closed;
      default:
        return Fail(vrk_posix::TransferFailure(LastError(error)));
    }
  }

  Step Fail(TlsFailure failure) {
    failed_ = true;
    failure_ = failure;
    library_.errClearError();
    return Step::Failed;
  }

  const OpensslLibrary& library_;
  SSL* ssl_;
  SocketLink link_;
  bool handshakeDone_ = false;
  bool closed_ = false;
  bool failed_ = false;
  bool shutDown_ = false;
  TlsFailure failure_ = TlsFailure::Other;
};

bool IsDottedAddress(const Text& host) { return inet_addr(host.c_str()) != INADDR_NONE; }

// The longest name the server name indication carries.
constexpr std::size_t kLongestHostName = 255;

}  // namespace

std::unique_ptr<TlsSession> TlsSession::Start(SOCKET socket, const Text& host) {
  const OpensslLibrary* library = vrk_posix::Openssl();
  if (library == nullptr) return nullptr;
  const BIO_METHOD* method = SocketBioMethod(*library);
  SSL_CTX* context = method != nullptr ? NewClientContext(*library) : nullptr;
  if (context == nullptr) return nullptr;
  // The session holds the context from here on.
  SSL* ssl = library->sslNew(context);
  library->ctxFree(context);
  if (ssl == nullptr) throw std::bad_alloc();
  auto session = std::make_unique<OpensslSession>(*library, ssl, socket);
  BIO* bio = library->bioNew(method);
  if (bio == nullptr) throw std::bad_alloc();
  library->bioSetData(bio, &session->Link());
  library->setBio(ssl, bio, bio);
  library->setConnectState(ssl);
  if (IsDottedAddress(host)) {
    // The address as the certificate writes it, whatever form of it the URL used.
    in_addr address{};
    address.s_addr = inet_addr(host.c_str());
    if (library->paramSet1IpAsc(library->get0Param(ssl), inet_ntoa(address)) != 1) throw std::bad_alloc();
  } else if (host.IsEmpty() || host.Length() > kLongestHostName) {
    // No certificate can name it (and an empty name would turn the check off).
    session->FailFromTheStart(TlsFailure::WrongHost);
  } else if (library->set1Host(ssl, host.c_str()) != 1 ||
             library->sslCtrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                              const_cast<char*>(host.c_str())) != 1) {
    throw std::bad_alloc();
  }
  return session;
}

}  // namespace vrk
