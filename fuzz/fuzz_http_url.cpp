// A request URL and the redirections that follow it, through Get on a client whose
// network steps are scripted (line 1: the URL; each further line: "STATUS LOCATION", or
// "STATUS" alone for an answer without a Location). The URL splits into a path that is a
// tail of the URL and a host without "/" or ":", fails only with the client's own
// messages, and each redirection goes where its Location says: a bare relative one to
// the host and port of the exchange that ended, in its scheme. Secure exchanges are
// scripted as plain.
#include <cstdint>
#include <vector>

#include "framework/exceptions.h"
#include "fuzz/fuzz_support.h"
#include "net/NMExtstr.h"
#include "net/NMHttp.h"
#include "platform/text_rules.h"

namespace {

using vrk::Text;
using vrk::fuzz::EndsWith;
using vrk::fuzz::StartsWith;

struct Answer {
  std::int16_t status;
  bool hasLocation;
  Text location;
};

// One exchange as the client saw it: the URL it was given and what splitting it made.
struct Hop {
  Text requested;
  Text url;
  Text host;
  std::int32_t port = 0;
  Text path;
  bool secure = false;
  std::int16_t status = 0;
  Text location;  // the last Location seen when this exchange ended
};

// The client itself, with connecting, sending and reading the head replaced by the script;
// the body is read from the unconnected socket, which has none.
class ScriptedClient : public vrk::TNMHTTP {
 public:
  explicit ScriptedClient(std::vector<Answer> answers)
      : TNMHTTP(nullptr), answers_(std::move(answers)) {}

  void ParseURL() override {
    hops.push_back(Hop{.requested = CurrentURL});
    TNMHTTP::ParseURL();
    Hop& hop = hops.back();
    hop.url = CurrentURL;
    hop.host = Host;
    hop.port = Port;
    hop.path = RequestPath;
    hop.secure = SecureScheme();
  }
  void Connect() override {
    // The request head names the path and the host just split.
    FUZZ_REQUIRE(RequestHead->Get(0) == "GET " + RequestPath + " HTTP/1.0");
    const int hostLine = RequestHead->IndexOfFieldName("Host");
    FUZZ_REQUIRE(Host.IsEmpty() ? hostLine < 0 : RequestHead->Get(hostLine) == "Host: " + Host);
  }
  void StartSecure(const Text&) override {}
  void SendRequest() override {}
  void ReadResponseHead() override {
    // Past the end of the script every server answers 200.
    const Answer answer = next_ < answers_.size() ? answers_[next_++] : Answer{200, false, {}};
    ReplyNumber = answer.status;
    if (answer.hasLocation) LastLocation = answer.location;
    hops.back().status = ReplyNumber;
    hops.back().location = LastLocation;
  }
  void Disconnect() override {}

  std::vector<Hop> hops;

 private:
  std::vector<Answer> answers_;
  std::size_t next_ = 0;
};

bool IsRedirection(std::int16_t status) { return status >= 300 && status <= 399; }

bool IsOwnFailure(const vrk::Exception& failure) {
  const Text& message = failure.Message();
  return message == "Empty URL" || message == "HTTP Secure Socket is not supported" ||
         message == "Too many redirections";
}

void CheckSplit(const Hop& hop, const Hop* before) {
  FUZZ_REQUIRE(StartsWith(hop.path, "/"));
  FUZZ_REQUIRE(EndsWith(hop.url, hop.path));
  FUZZ_REQUIRE(hop.url == hop.requested ||
               (hop.path == "/" && hop.url == hop.requested + "/"));
  FUZZ_REQUIRE(hop.host.Pos("/") == 0 && hop.host.Pos(":") == 0);
  if (hop.requested.Pos(":") == 0) {
    // Nothing names a scheme or a port: the client's port stays.
    FUZZ_REQUIRE(hop.port == (before && before->port != 0 ? before->port : 80));
  }
}

// Where the exchange after `ended` must have gone.
void CheckFollowed(const Hop& ended, const Hop& next) {
  if (ended.status > 302) {
    FUZZ_REQUIRE(next.requested == ended.url);  // the same request again
    return;
  }
  const Text& location = ended.location;
  if (location.IsEmpty() || location.Pos("/") != 0) {
    FUZZ_REQUIRE(next.requested == location);
    return;
  }
  // On the server of the exchange that ended, in its scheme, and on its port.
  const bool defaultPort = ended.port == (ended.secure ? 443 : 80);
  const Text authority = defaultPort ? ended.host : ended.host + ":" + vrk::IntToStr(ended.port);
  FUZZ_REQUIRE(next.requested == (ended.secure ? "https://" : "http://") + authority + "/" + location);
  if (next.url.IsEmpty()) return;  // its split failed
  FUZZ_REQUIRE(next.host == ended.host && next.port == ended.port && next.path == "/" + location);
  FUZZ_REQUIRE(next.secure == ended.secure);
}

std::vector<Answer> ReadScript(vrk::fuzz::Fields& input) {
  std::vector<Answer> answers;
  while (!input.AtEnd() && answers.size() <= vrk::TNMHTTP::kMaxRedirections + 1) {
    const Text line(input.Line());
    const std::size_t blank = line.Pos(" ");
    // The status as the client reads it from a status line.
    const int status = vrk::StrToIntDef(vrk::Field(line, ' ', 1), 200);
    answers.push_back({static_cast<std::int16_t>(status & 0xFFFF), blank != 0,
                       blank != 0 ? line.Sub(static_cast<long>(blank) + 1, 0x7FFFFFFF) : Text()});
  }
  return answers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vrk::fuzz::Fields input(data, size);
  const Text url(input.Line());
  ScriptedClient client(ReadScript(input));
  int successes = 0;
  int failures = 0;
  client.OnSuccess = [&](vrk::CmdType) { ++successes; };
  client.OnFailure = [&](vrk::CmdType) { ++failures; };

  bool finished = false;
  bool tooMany = false;
  try {
    client.Get(url);
    finished = true;
  } catch (const vrk::EConvertError&) {
    // A port that is no number.
  } catch (const vrk::Exception& failure) {
    FUZZ_REQUIRE(IsOwnFailure(failure));
    tooMany = failure.Message() == "Too many redirections";
  }

  const std::vector<Hop>& hops = client.hops;
  FUZZ_REQUIRE(!hops.empty() && hops.front().requested == url);
  constexpr std::size_t kMostExchanges = vrk::TNMHTTP::kMaxRedirections + 1;
  FUZZ_REQUIRE(hops.size() <= kMostExchanges);
  for (std::size_t i = 0; i < hops.size(); ++i) {
    const bool split = !hops[i].url.IsEmpty();
    FUZZ_REQUIRE(split || i + 1 == hops.size());
    if (split) CheckSplit(hops[i], i > 0 ? &hops[i - 1] : nullptr);
    if (i > 0) CheckFollowed(hops[i - 1], hops[i]);
    if (i + 1 < hops.size()) FUZZ_REQUIRE(IsRedirection(hops[i].status));
  }
  const Hop& last = hops.back();
  if (tooMany) {
    FUZZ_REQUIRE(hops.size() == kMostExchanges && IsRedirection(last.status));
  }
  if (finished) {
    FUZZ_REQUIRE(!IsRedirection(last.status));
    FUZZ_REQUIRE(successes == (last.status < 300 ? 1 : 0));
    FUZZ_REQUIRE(failures == (last.status >= 400 ? 1 : 0));
  }
  return 0;
}
