// TNMHTTP::BuildRequest: the request line and header lines of one exchange.
#include <memory>

#include "framework/streams.h"
#include "net/NMExtstr.h"
#include "net/NMHttp.h"
#include "net/NMUUE.h"
#include "net/response_head.h"
#include "platform/text_rules.h"

namespace vrk {

Text TNMHTTP::BasicCredentials() const {
  const Text plain = HeaderInfo->UserId + ":" + HeaderInfo->Password;
  TMemoryStream input;
  input.WriteBuffer(plain.c_str(), static_cast<std::int32_t>(plain.Length()));
  TMemoryStream output;
  {
    std::unique_ptr<TNMUUProcessor> processor(new TNMUUProcessor(nullptr));
    processor->Method = uuMime;
    processor->InputStream = &input;
    processor->OutputStream = &output;
    processor->Encode();
  }
  // The processor breaks long output into lines; the field wants one token.
  Text token;
  token.Reserve(static_cast<std::size_t>(output.Size()));
  const char* bytes = output.Memory();
  for (std::int64_t i = 0; i < output.Size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') token += bytes[i];
  }
  return "Basic " + token;
}

void TNMHTTP::BuildRequest() {
  TExStringList& head = *RequestHead;
  head.Clear();
  // A secure exchange goes through the proxy's tunnel, where the server itself is asked.
  const bool viaProxy = !Proxy.IsEmpty() && !secure_;
  if (CurrentCommand != ctOther) {
    head.Add(RequestWord(CurrentCommand) + (viaProxy ? CurrentURL : RequestPath) + " HTTP/1.0");
  }
  if (viaProxy) {
    head.Add("Proxy-Connection: Keep-Alive");
    head.Add("Host: " + Host);
  }
  head.SetFieldValue("Host", Host);
  head.Add("Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff");
  head.Add("Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript");
  const THeaderInfo& info = *HeaderInfo;
  if (!info.LocalProgram.IsEmpty()) head.SetFieldValue("User-Agent", info.LocalProgram);
  if (!info.LocalMailAddress.IsEmpty()) head.SetFieldValue("From", info.LocalMailAddress);
  // A cookie the server marked Secure is for TLS alone.
  if (!info.Cookie.IsEmpty() && (secure_ || !SecureOnlyCookie(info.Cookie.View()))) {
    head.SetFieldValue("Cookie", info.Cookie);
  }
  if (!info.Referer.IsEmpty()) head.SetFieldValue("Referer", info.Referer);
  if (!info.UserId.IsEmpty() && !info.Password.IsEmpty()) {
    head.SetFieldValue("Authorization", BasicCredentials());
  }
  head.Add("Content-type: application/x-www-form-urlencoded");
  if (CurrentCommand == ctCopy || CurrentCommand == ctMove) {
    head.Add("URI-header: " + TargetURI);
  } else if (CurrentCommand == ctLink || CurrentCommand == ctUnlink) {
    head.Add("Link: " + TargetURI);
  }
  if (CarriesRequestData(CurrentCommand)) {
    long long length = static_cast<long long>(RequestData.Length());
    if (OutputFileMode) {
      TFileStream file(RequestData, TFileMode::OpenRead);
      length = file.Size();
    }
    head.Add("Content-Length: " + IntToStr(length));
  }
}

}  // namespace vrk
