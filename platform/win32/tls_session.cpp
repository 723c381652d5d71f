// The Windows side of the TLS session: Secure Channel through SSPI, over the component's
// non-blocking socket with the socket calls themselves, so its notifications are consumed and
// re-armed as for a plain transfer. The session says WouldBlock only after the socket itself
// did, so a notification always follows. The server's certificate is checked by us
// (certificate_check), as the Linux build checks it.
#include "platform/tls_session.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "platform/win32/tls/certificate_check.h"
#include "platform/win32/tls/credentials.h"
#include "platform/win32/tls/schannel.h"
#include "platform/win32/tls/security_library.h"
#include "platform/win32/tls/server_answer.h"

namespace vrk {

namespace {

constexpr ULONG kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                           ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                           ISC_REQ_USE_SUPPLIED_CREDS;
// What one receive asks of the socket: a whole record of the largest size.
constexpr std::size_t kReadChunk = 16384 + 2048 + 5;
constexpr unsigned char kAlertRecord = 21;
// The longest name the server name indication carries.
constexpr std::size_t kLongestHostName = 255;

const SecurityFunctionTableA& Sspi() { return *schannel::Security()->sspi; }

// How a socket call went.
enum class Io { Done, WouldBlock, Ended };

// A buffer Secure Channel allocated for us.
struct ContextBuffer {
  SecBuffer buffer;
  explicit ContextBuffer(unsigned long type) : buffer{0, type, nullptr} {}
  ~ContextBuffer() {
    if (buffer.pvBuffer != nullptr) Sspi().FreeContextBuffer(buffer.pvBuffer);
  }
  ContextBuffer(const ContextBuffer&) = delete;
  ContextBuffer& operator=(const ContextBuffer&) = delete;
};

// Why a handshake that Secure Channel gave up failed. The server's answer was read as TLS
// (server_answer) before it got here; records that then do not parse, or were spoiled on the
// way, mean a server that does not speak TLS properly, as on Linux.
TlsFailure HandshakeFailure(SECURITY_STATUS status, bool serverAlerted) {
  if (serverAlerted) return TlsFailure::Other;
  switch (status) {
    case SEC_E_CERT_EXPIRED:
      return TlsFailure::Expired;
    case SEC_E_UNTRUSTED_ROOT:
      return TlsFailure::Untrusted;
    case SEC_E_WRONG_PRINCIPAL:
      return TlsFailure::WrongHost;
    case SEC_E_UNSUPPORTED_FUNCTION:
    case SEC_E_ALGORITHM_MISMATCH:
    case SEC_E_INSUFFICIENT_MEMORY:
    case SEC_E_NO_CREDENTIALS:
      return TlsFailure::Other;
    default:
      return TlsFailure::NotTls;
  }
}

class SchannelSession final : public TlsSession {
 public:
  SchannelSession(SOCKET socket, const Text& host, schannel::Credentials credentials)
      : socket_(socket), host_(host), credentials_(std::move(credentials)) {}
  ~SchannelSession() override {
    if (contextMade_) Sspi().DeleteSecurityContext(&context_);
  }

  Step Handshake() override;
  Step Receive(char* buffer, std::size_t size, bool peek, std::size_t& received) override;
  Step Send(const char* data, std::size_t size, std::size_t& sent) override;
  std::size_t Buffered() const noexcept override { return plain_.size() - plainTaken_; }
  void Shutdown() noexcept override;
  TlsFailure Failure() const override { return failure_; }

  // A session that cannot succeed: its handshake fails at once with this cause.
  void FailFromTheStart(TlsFailure failure) { Fail(failure); }

 private:
  Io Flush();
  Io ReadMore();
  bool JudgeServerAnswer();
  SECURITY_STATUS Negotiate();
  Step Established();
  bool DecryptRecord();
  bool TakePostHandshakeMessage();
  bool Encrypt(const char* data, std::size_t size);
  void KeepPlain(const char* data, std::size_t size);

  Step Fail(TlsFailure failure) {
    failed_ = true;
    failure_ = failure;
    return Step::Failed;
  }

  SOCKET socket_;
  Text host_;
  schannel::Credentials credentials_;
  CtxtHandle context_{};
  bool contextMade_ = false;
  bool negotiated_ = false;   // Secure Channel completed the handshake
  bool established_ = false;  // and the certificate passed
  bool tls13_ = false;
  bool answerJudged_ = false;
  bool serverAlerted_ = false;
  bool needMore_ = false;         // the records at hand are incomplete
  bool postHandshake_ = false;    // a TLS 1.3 message after the handshake is being taken
  bool closed_ = false;
  bool failed_ = false;
  bool shutDown_ = false;
  TlsFailure failure_ = TlsFailure::Other;
  SecPkgContext_StreamSizes sizes_{};
  std::vector<char> incoming_;  // records from the server that Secure Channel has not taken yet
  std::vector<char> outgoing_;  // records for the server not on the socket yet
  std::size_t outgoingSent_ = 0;
  std::size_t recordPlain_ = 0;  // the plain bytes of the record in outgoing_ that Send began
  std::vector<char> plain_;      // decrypted bytes not taken yet
  std::size_t plainTaken_ = 0;
};

Io SchannelSession::Flush() {
  while (outgoingSent_ < outgoing_.size()) {
    const int sent = send(socket_, outgoing_.data() + outgoingSent_, static_cast<int>(outgoing_.size() - outgoingSent_), 0);
    if (sent > 0) {
      outgoingSent_ += static_cast<std::size_t>(sent);
    } else if (sent < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
      return Io::WouldBlock;
    } else {
      return Io::Ended;
    }
  }
  outgoing_.clear();
  outgoingSent_ = 0;
  return Io::Done;
}

// One receive onto the records at hand; Ended when the connection ended or broke.
Io SchannelSession::ReadMore() {
  const std::size_t had = incoming_.size();
  incoming_.resize(had + kReadChunk);
  const int got = recv(socket_, incoming_.data() + had, static_cast<int>(kReadChunk), 0);
  incoming_.resize(had + static_cast<std::size_t>(got > 0 ? got : 0));
  if (got > 0) {
    needMore_ = false;
    return Io::Done;
  }
  if (got < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return Io::WouldBlock;
  return Io::Ended;
}

// False when the server's first bytes already tell why the handshake cannot succeed.
bool SchannelSession::JudgeServerAnswer() {
  switch (schannel::ReadServerAnswer(reinterpret_cast<const unsigned char*>(incoming_.data()), incoming_.size())) {
    case schannel::ServerAnswer::NeedMore:
      needMore_ = true;
      return true;
    case schannel::ServerAnswer::NotTls:
      Fail(TlsFailure::NotTls);
      return false;
    case schannel::ServerAnswer::OldProtocol:
      Fail(TlsFailure::OldProtocol);
      return false;
    case schannel::ServerAnswer::Alert:
      serverAlerted_ = true;
      break;
    case schannel::ServerAnswer::Hello:
      break;
  }
  answerJudged_ = true;
  return true;
}

// One step of the handshake over the records at hand: what it took leaves them, what it
// answers joins the records for the server.
SECURITY_STATUS SchannelSession::Negotiate() {
  SecBuffer input[2] = {{static_cast<unsigned long>(incoming_.size()), SECBUFFER_TOKEN, incoming_.data()},
                        {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc inputs{SECBUFFER_VERSION, 2, input};
  ContextBuffer token(SECBUFFER_TOKEN);
  ContextBuffer alert(SECBUFFER_ALERT);
  SecBuffer output[3] = {token.buffer, alert.buffer, {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc outputs{SECBUFFER_VERSION, 3, output};
  ULONG attributes = 0;
  const bool first = !contextMade_;
  // The name goes out as SNI, never an address.
  std::vector<char> target;
  if (first && !schannel::IsAddress(host_)) target.assign(host_.c_str(), host_.c_str() + host_.Length() + 1);
  const SECURITY_STATUS status =
      Sspi().InitializeSecurityContextA(credentials_.Handle(), first ? nullptr : &context_, target.empty() ? nullptr : target.data(),
                                 kRequest, 0, 0, first ? nullptr : &inputs, 0, &context_, &outputs, &attributes, nullptr);
  token.buffer = output[0];
  alert.buffer = output[1];
  if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) contextMade_ = true;
  if (token.buffer.pvBuffer != nullptr && token.buffer.cbBuffer > 0) {
    const char* answer = static_cast<const char*>(token.buffer.pvBuffer);
    outgoing_.insert(outgoing_.end(), answer, answer + token.buffer.cbBuffer);
  }
  if (!first && status != SEC_E_INCOMPLETE_MESSAGE) {
    const std::size_t extra = input[1].BufferType == SECBUFFER_EXTRA ? input[1].cbBuffer : 0;
    incoming_.erase(incoming_.begin(), incoming_.end() - static_cast<std::ptrdiff_t>(std::min(extra, incoming_.size())));
  }
  return status;
}

TlsSession::Step SchannelSession::Handshake() {
  if (failed_) return Step::Failed;
  if (established_) return Step::Done;
  if (!contextMade_ && Negotiate() != SEC_I_CONTINUE_NEEDED) return Fail(TlsFailure::Other);
  for (;;) {
    const Io flushed = Flush();
    if (flushed == Io::WouldBlock) return Step::WouldBlock;
    if (flushed == Io::Ended) return Fail(TlsFailure::HandshakeCut);
    if (negotiated_) return Established();
    if (needMore_ || incoming_.empty()) {
      const Io read = ReadMore();
      if (read == Io::WouldBlock) return Step::WouldBlock;
      if (read == Io::Ended) return Fail(TlsFailure::HandshakeCut);
      if (!answerJudged_ && !JudgeServerAnswer()) return Step::Failed;
      continue;
    }
    const SECURITY_STATUS status = Negotiate();
    if (status == SEC_E_OK) {
      negotiated_ = true;
    } else if (status == SEC_E_INCOMPLETE_MESSAGE) {
      needMore_ = true;
    } else if (status != SEC_I_CONTINUE_NEEDED && status != SEC_I_INCOMPLETE_CREDENTIALS) {
      // Secure Channel's alert for the server, best effort.
      Flush();
      return Fail(HandshakeFailure(status, serverAlerted_ || (!incoming_.empty() && incoming_[0] == kAlertRecord)));
    }
  }
}

// After the handshake: only TLS 1.2 and 1.3, and a certificate that passes.
TlsSession::Step SchannelSession::Established() {
  SecPkgContext_ConnectionInfo connection{};
  if (Sspi().QueryContextAttributesA(&context_, SECPKG_ATTR_CONNECTION_INFO, &connection) != SEC_E_OK) {
    return Fail(TlsFailure::Other);
  }
  // The credentials asked for no older protocol; this holds where they were not obeyed.
  if ((connection.dwProtocol & (SP_PROT_TLS1_2 | SP_PROT_TLS1_3)) == 0) return Fail(TlsFailure::OldProtocol);
  tls13_ = (connection.dwProtocol & SP_PROT_TLS1_3) != 0;
  if (Sspi().QueryContextAttributesA(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK) return Fail(TlsFailure::Other);
  PCCERT_CONTEXT certificate = nullptr;
  if (Sspi().QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) != SEC_E_OK ||
      certificate == nullptr) {
    return Fail(TlsFailure::Untrusted);
  }
  const std::optional<TlsFailure> refused = schannel::CheckServerCertificate(certificate, host_);
  schannel::Security()->freeCertificate(certificate);
  if (refused) return Fail(*refused);
  established_ = true;
  return Step::Done;
}

void SchannelSession::KeepPlain(const char* data, std::size_t size) {
  if (plainTaken_ == plain_.size()) {
    plain_.clear();
    plainTaken_ = 0;
  }
  plain_.insert(plain_.end(), data, data + size);
}

// Decrypts the first record at hand; false when the session failed.
bool SchannelSession::DecryptRecord() {
  const unsigned char type = static_cast<unsigned char>(incoming_[0]);
  SecBuffer buffers[4] = {{static_cast<unsigned long>(incoming_.size()), SECBUFFER_DATA, incoming_.data()},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr},
                          {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
  const SECURITY_STATUS status = Sspi().DecryptMessage(&context_, &message, 0, nullptr);
  if (status == SEC_E_INCOMPLETE_MESSAGE) {
    needMore_ = true;
    return true;
  }
  if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
    Fail(TlsFailure::NotTls);
    return false;
  }
  std::size_t extra = 0;
  std::size_t plain = 0;
  for (const SecBuffer& buffer : buffers) {
    if (buffer.BufferType == SECBUFFER_DATA && buffer.pvBuffer != nullptr) {
      // Decrypted in place, inside the records at hand: kept before they go.
      plain = buffer.cbBuffer;
      KeepPlain(static_cast<const char*>(buffer.pvBuffer), plain);
    } else if (buffer.BufferType == SECBUFFER_EXTRA) {
      extra = buffer.cbBuffer;
    }
  }
  incoming_.erase(incoming_.begin(), incoming_.end() - static_cast<std::ptrdiff_t>(std::min(extra, incoming_.size())));
  // Windows says close_notify with SEC_I_CONTEXT_EXPIRED; Wine decrypts the alert record to
  // nothing, which no other record of TLS 1.2 does.
  if (status == SEC_I_CONTEXT_EXPIRED || (status == SEC_E_OK && plain == 0 && type == kAlertRecord)) {
    closed_ = true;
  } else if (status == SEC_I_RENEGOTIATE && tls13_) {
    // A ticket or a key update: Secure Channel takes it through the handshake call.
    postHandshake_ = true;
  }
  // A TLS 1.2 server's request to renegotiate is declined by ignoring it, as the protocol
  // allows: the transfer goes on under the keys it has.
  return true;
}

// Hands a TLS 1.3 message after the handshake to Secure Channel; false when the session failed.
bool SchannelSession::TakePostHandshakeMessage() {
  const SECURITY_STATUS status = Negotiate();
  if (status == SEC_E_OK) {
    postHandshake_ = false;
  } else if (status == SEC_E_INCOMPLETE_MESSAGE || (status == SEC_I_CONTINUE_NEEDED && incoming_.empty())) {
    needMore_ = true;
  } else if (status != SEC_I_CONTINUE_NEEDED) {
    Fail(TlsFailure::NotTls);
    return false;
  }
  return true;
}

TlsSession::Step SchannelSession::Receive(char* buffer, std::size_t size, bool peek, std::size_t& received) {
  received = 0;
  if (failed_) return Step::Failed;
  if (size == 0) return Step::Done;
  for (;;) {
    if (Buffered() > 0) {
      received = std::min(size, Buffered());
      std::memcpy(buffer, plain_.data() + plainTaken_, received);
      if (!peek) plainTaken_ += received;
      return Step::Done;
    }
    if (closed_) return Step::Closed;
    // What a message after the handshake answered goes out first.
    const Io flushed = Flush();
    if (flushed == Io::WouldBlock) return Step::WouldBlock;
    if (flushed == Io::Ended) return Fail(TlsFailure::Truncated);
    if (!needMore_ && !incoming_.empty()) {
      if (!(postHandshake_ ? TakePostHandshakeMessage() : DecryptRecord())) return Step::Failed;
      continue;
    }
    const Io read = ReadMore();
    if (read == Io::WouldBlock) return Step::WouldBlock;
    // Without close_notify, whether a reset or a plain close.
    if (read == Io::Ended) return Fail(TlsFailure::Truncated);
  }
}

// One record of at most the largest message into the records for the server.
bool SchannelSession::Encrypt(const char* data, std::size_t size) {
  const std::size_t header = sizes_.cbHeader;
  const std::size_t trailer = sizes_.cbTrailer;
  outgoing_.resize(header + size + trailer);
  char* record = outgoing_.data();
  std::memcpy(record + header, data, size);
  SecBuffer buffers[4] = {{static_cast<unsigned long>(header), SECBUFFER_STREAM_HEADER, record},
                          {static_cast<unsigned long>(size), SECBUFFER_DATA, record + header},
                          {static_cast<unsigned long>(trailer), SECBUFFER_STREAM_TRAILER, record + header + size},
                          {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
  if (Sspi().EncryptMessage(&context_, 0, &message, 0) != SEC_E_OK) {
    outgoing_.clear();
    return false;
  }
  outgoing_.resize(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
  return true;
}

TlsSession::Step SchannelSession::Send(const char* data, std::size_t size, std::size_t& sent) {
  sent = 0;
  if (failed_) return Step::Failed;
  if (size == 0) return Step::Done;
  if (closed_) return Step::Closed;
  if (recordPlain_ == 0) {
    // A handshake answer still waiting goes out before the first record.
    const Io flushed = Flush();
    if (flushed == Io::WouldBlock) return Step::WouldBlock;
    if (flushed == Io::Ended) return Fail(TlsFailure::Truncated);
    const std::size_t chunk = std::min<std::size_t>(size, sizes_.cbMaximumMessage);
    if (!Encrypt(data, chunk)) return Fail(TlsFailure::Other);
    recordPlain_ = chunk;
  }
  const Io flushed = Flush();
  if (flushed == Io::WouldBlock) return Step::WouldBlock;
  if (flushed == Io::Ended) return Fail(TlsFailure::Truncated);
  sent = std::exchange(recordPlain_, 0);
  return Step::Done;
}

void SchannelSession::Shutdown() noexcept {
  // Once, and only on a session that still stands: a failed one must send nothing more.
  if (!established_ || failed_ || shutDown_) return;
  shutDown_ = true;
  DWORD request = SCHANNEL_SHUTDOWN;
  SecBuffer control{sizeof request, SECBUFFER_TOKEN, &request};
  SecBufferDesc controls{SECBUFFER_VERSION, 1, &control};
  if (Sspi().ApplyControlToken(&context_, &controls) != SEC_E_OK) return;
  ContextBuffer token(SECBUFFER_TOKEN);
  SecBufferDesc outputs{SECBUFFER_VERSION, 1, &token.buffer};
  ULONG attributes = 0;
  const SECURITY_STATUS status = Sspi().InitializeSecurityContextA(credentials_.Handle(), &context_, nullptr, kRequest, 0, 0,
                                                            nullptr, 0, &context_, &outputs, &attributes, nullptr);
  // Wine makes no close_notify here; the server then sees the close alone.
  if ((status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) && token.buffer.pvBuffer != nullptr) {
    send(socket_, static_cast<const char*>(token.buffer.pvBuffer), static_cast<int>(token.buffer.cbBuffer), 0);
  }
}

}  // namespace

std::unique_ptr<TlsSession> TlsSession::Start(SOCKET socket, const Text& host) {
  schannel::Credentials credentials = schannel::Credentials::Acquire();
  if (!credentials.Valid()) return nullptr;
  auto session = std::make_unique<SchannelSession>(socket, host, std::move(credentials));
  // No certificate can name it (and an empty name would turn the check off).
  if (host.IsEmpty() || host.Length() > kLongestHostName) session->FailFromTheStart(TlsFailure::WrongHost);
  return session;
}

}  // namespace vrk
