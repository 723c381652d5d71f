// The proxy setting taken from the environment when there is no registry file (line 1:
// http_proxy; the rest: HTTP_PROXY; each up to its first zero byte, empty meaning unset),
// read as the proxy command reads it. The proxy is on exactly when one of them is set, the
// lower-case one first; the server is a piece of its value after any "scheme://", without
// path or user; and a URL written around a server gives that server back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/registry.h"

namespace {

using vrk::Text;

constexpr const char* kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\";

// setenv keeps every value it ever replaced, and a run sets millions: each variable lives in
// one entry of ours instead, out of the environment while it changes.
void SetVariable(const char* name, std::string_view value, std::string& entry) {
  unsetenv(name);
  const std::string_view text = value.substr(0, value.find('\0'));
  if (text.empty()) return;
  entry = std::string(name) + "=" + std::string(text);
  putenv(entry.data());
}

struct ProxySetting {
  int enabled;
  Text server;
};

ProxySetting Read() {
  vrk::TRegistry registry;
  FUZZ_REQUIRE(registry.OpenKey(kInternetSettings, false));
  return {registry.ReadInteger("ProxyEnable"), registry.ReadString("ProxyServer")};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A registry path that is no regular file: the setting comes from the environment.
  setenv("VRK_REGISTRY", "/dev/null", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::string lowerEntry;
  static std::string upperEntry;
  vrk::fuzz::Fields input(data, size);
  SetVariable("http_proxy", input.Line(), lowerEntry);
  SetVariable("HTTP_PROXY", input.Rest(), upperEntry);
  const char* lower = std::getenv("http_proxy");
  const char* upper = std::getenv("HTTP_PROXY");
  const std::string_view value = lower ? lower : upper ? upper : "";

  const ProxySetting setting = Read();
  FUZZ_REQUIRE(setting.enabled == (value.empty() ? 0 : 1));
  const std::string_view server = setting.server.View();
  if (value.empty()) {
    FUZZ_REQUIRE(server.empty());
    return 0;
  }
  const std::size_t scheme = value.find("://");
  const std::string_view rest = scheme == std::string_view::npos ? value : value.substr(scheme + 3);
  FUZZ_REQUIRE(rest.find(server) != std::string_view::npos);
  FUZZ_REQUIRE(server.find_first_of("/?#@") == std::string_view::npos);
  if (value.find_first_of(":/?#@") == std::string_view::npos) FUZZ_REQUIRE(server == value);

  // The value as a user writes it, around the server read; an empty port is dropped.
  const std::string around = "http://user:secret@" + std::string(server);
  SetVariable("http_proxy", around + ":/path", lowerEntry);
  FUZZ_REQUIRE(Read().server.View() == server);
  if (!server.ends_with(':')) {
    SetVariable("http_proxy", around + "/path?q#f", lowerEntry);
    FUZZ_REQUIRE(Read().server.View() == server);
  }
  return 0;
}
