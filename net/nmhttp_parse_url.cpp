// TNMHTTP::ParseURL: host, port and path of the current URL.
#include "base/ascii.h"
#include "framework/exceptions.h"
#include "net/NMHttp.h"
#include "platform/text_rules.h"

namespace vrk {

namespace {

Text AsciiLower(const Text& text) {
  Text lower = text;
  char* bytes = lower.UniqueData();
  for (std::size_t i = 0; i < lower.Length(); ++i) {
    bytes[i] = ascii::Lower(bytes[i]);
  }
  return lower;
}

constexpr long kToEnd = 0x7FFFFFFF;

}  // namespace

void TNMHTTP::ParseURL() {
  const Text url = CurrentURL;
  if (url.IsEmpty()) throw Exception("Empty URL");
  if (Port == 0) Port = 80;

  // The whole path is kept, however long.
  const bool hasAuthority = url.Pos("//") != 0;
  if (hasAuthority) {
    const std::int32_t third = NthCharPos(url, '/', 3);
    RequestPath = static_cast<std::size_t>(third) <= url.Length() ? url.Sub(third, kToEnd) : Text();
  } else if (const std::size_t slash = url.Pos("/"); slash != 0) {
    RequestPath = url.Sub(static_cast<long>(slash), kToEnd);
  } else {
    RequestPath = Text();
  }

  if (url.Pos(":") != 0) {
    const Text scheme = AsciiLower(Field(url, ':', 1));
    // Without a colon, neither the port nor the scheme's security changes: a path alone
    // stays on the server of the exchange before.
    secure_ = scheme == "https";
    if (scheme == "gopher") {
      Port = 70;
    } else if (scheme == "ftp") {
      Port = 21;
    } else if (secure_) {
      Port = 443;
    } else {
      Port = 80;
    }
  }

  Text hostPart;
  if (hasAuthority) {
    hostPart = Field(url, '/', 3);
  } else if (url[1] != '/') {
    hostPart = Field(url, '/', 1);
  }
  if (const std::size_t colon = hostPart.Pos(":"); colon != 0) {
    Port = StrToInt(Field(hostPart, ':', 2));
    hostPart = hostPart.Sub(1, static_cast<long>(colon) - 1);
  }
  if (!hostPart.IsEmpty()) Host = hostPart;

  if (RequestPath.IsEmpty()) {
    RequestPath = "/";
    CurrentURL += "/";
  }
}

}  // namespace vrk
