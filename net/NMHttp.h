// NMHttp: TNMHTTP, the HTTP/1.0 client built on the socket component. One call of a
// request operation runs a whole transaction on the caller's thread: it splits the URL,
// builds and sends the request head (and body), reads the response head and body,
// raises the outcome events and follows redirections, one connection per exchange.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "framework/component.h"
#include "framework/events.h"
#include "framework/text.h"
#include "net/Psock.h"

namespace vrk {

class TExStringList;

// An HTTPS fetch through a proxy whose tunnel the proxy refused, or answered short.
inline constexpr const char* kTunnelRefused = "The proxy refused the tunnel to the server";

// The kind of the current request, one byte: 0 to 12 in this order.
enum CmdType : std::uint8_t {
  ctGet, ctOptions, ctHead, ctPost, ctPut, ctPatch, ctCopy,
  ctMove, ctDelete, ctLink, ctUnlink, ctTrace, ctOther,
};

// The request word with its trailing blank; empty for ctOther, which has no request line.
const char* RequestWord(CmdType Cmd) noexcept;
// True for the kinds that send a body and announce its length.
bool CarriesRequestData(CmdType Cmd) noexcept;

// The caller's optional request fields.
class THeaderInfo : public TPersistent {
 public:
  Text LocalMailAddress;
  Text LocalProgram;
  Text Cookie;  // also written when a redirection brings a cookie
  Text Referer;
  Text UserId;
  Text Password;
};

using TResultEvent = TEvent<void(CmdType Cmd)>;

class TNMHTTP : public TPowersock {
 public:
  // Redirection responses one call follows at most; the next one ends the call.
  static constexpr int kMaxRedirections = 20;

  explicit TNMHTTP(TComponent* owner);
  ~TNMHTTP() override;

  // Stored in forms (besides the socket component's OnPacketRecvd, OnPacketSent,
  // Proxy and ProxyPort).
  Text Body = "Default.htm";   // the body, or the name of its file under InputFileMode
  Text Header = "Head.txt";    // the head, or the name of its file under OutputFileMode
  // Owned; assigning another instance frees the one held before.
  std::unique_ptr<THeaderInfo> HeaderInfo;
  bool InputFileMode = false;   // the response body goes to the file named by Body
  bool OutputFileMode = false;  // request data names a file; the head goes to Header's file
  TNotifyEvent OnAboutToSend;
  TResultEvent OnSuccess;
  TResultEvent OnFailure;
  THandlerEvent OnRedirect;
  TNotifyEvent OnAuthenticationNeeded;

  // Held, not stored.
  Text CurrentURL;
  CmdType CurrentCommand = ctGet;
  Text RequestData;
  Text TargetURI;
  Text RequestPath;
  std::unique_ptr<TExStringList> RequestHead;
  Text LastLocation;
  Text LastCookie;
  bool EncodePostData = true;

  // Ends a pending wait of the socket component and cancels the running operation.
  void Abort() override;
  // The current URL's scheme is https: its exchange runs over TLS, through a tunnel when
  // a proxy is set.
  bool SecureScheme() const noexcept { return secure_; }

  virtual void PerformRequest();
  virtual void ParseURL();
  virtual void BuildRequest();
  virtual void ReadResponseHead();
  virtual void SendRequest();
  virtual void Options(const Text& URL);
  virtual void Get(const Text& URL);
  virtual void Post(const Text& URL, const Text& PostData);
  virtual void Put(const Text& URL, const Text& PutData);
  virtual void Head(const Text& URL);
  virtual void Patch(const Text& URL, const Text& PatchData);
  virtual void Delete(const Text& URL);
  virtual void Trace(const Text& URL, const Text& TraceData);
  virtual void Copy(const Text& URL, const Text& ToURI);
  virtual void Move(const Text& URL, const Text& ToURI);
  virtual void Link(const Text& URL, const Text& LinkText);
  virtual void Unlink(const Text& URL, const Text& LinkText);
  virtual void OtherRequest(const Text& URL, const Text& Data);

 protected:
  // The body of the current response, into Body or into the file it names.
  void ReceiveBody();
  // A body whose valid Content-Length arrived is whole, with close_notify or without.
  bool CutEndComplete(std::uint64_t received) const override;

 private:
  // Stores the URL and kind and runs the transaction.
  void Request(const Text& URL, CmdType Cmd);
  // One exchange; returns the status of its response.
  std::int16_t Exchange();
  // Every byte of `data`, zero bytes and any length included.
  void SendWhole(const Text& data);
  // "Basic " and the Base64 of UserId:Password.
  Text BasicCredentials() const;
  // Asks the proxy for a tunnel to Host:Port; raises ESockError kTunnelRefused unless it
  // answers 2xx.
  void OpenTunnel();

  bool secure_ = false;

  // The length that ends the body of a response whose peer keeps the connection open;
  // none: the body runs until the close.
  std::optional<std::int32_t> keptBodyLength_;
  // The length the body must reach before the peer closes; none: any length is whole.
  std::optional<std::int32_t> promisedBodyLength_;
  // Raises ESockError kResponseCutShort when `received` falls short of the promised length.
  void CheckBodyLength(std::uint64_t received) const;
};

}  // namespace vrk
