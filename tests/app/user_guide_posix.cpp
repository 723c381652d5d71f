// The user guide in Data/ shows every text the tool can show, as the code writes it. (The
// Windows build holds the texts in code page 1250, so the check runs on the Linux build.)
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/messages.h"
#include "net/NMHttp.h"
#include "platform/tls_failure.h"
#include "platform/tls_session.h"

namespace {

// The page's text as a reader sees it: tags dropped, the entities the page uses decoded.
std::string VisibleText(const std::string& page) {
  std::string text;
  for (std::size_t i = 0; i < page.size(); ++i) {
    if (page[i] == '<') {
      i = page.find('>', i);
      if (i == std::string::npos) break;
      continue;
    }
    if (page[i] == '&') {
      const std::size_t end = page.find(';', i);
      const std::string name = page.substr(i + 1, end - i - 1);
      const char* decoded = name == "lt" ? "<" : name == "gt" ? ">" : name == "amp" ? "&"
                          : name == "quot" ? "\"" : name == "apos" ? "'" : nullptr;
      if (decoded != nullptr) {
        text += decoded;
        i = end;
        continue;
      }
    }
    text += page[i];
  }
  return text;
}

TEST(UserGuide, ShowsEveryMessageTextAsTheToolDoes) {
  std::ifstream file(VRK_USER_GUIDE, std::ios::binary);
  ASSERT_TRUE(file) << VRK_USER_GUIDE;
  std::ostringstream page;
  page << file.rdbuf();
  const std::string text = VisibleText(page.str());
  for (const char* message : vrk::messages::kAll) {
    EXPECT_NE(text.find(message), std::string::npos) << "not in the guide: " << message;
  }
  // The secure fetch's own failures, each with its explanation.
  using vrk::TlsFailure;
  for (TlsFailure failure : {TlsFailure::Untrusted, TlsFailure::SelfSigned, TlsFailure::Expired,
                             TlsFailure::NotYetValid, TlsFailure::WrongHost, TlsFailure::OldProtocol,
                             TlsFailure::HandshakeCut, TlsFailure::NotTls, TlsFailure::Truncated,
                             TlsFailure::Other}) {
    const char* message = vrk::TlsFailureText(failure);
    EXPECT_NE(text.find(message), std::string::npos) << "not in the guide: " << message;
  }
  for (const char* message : {vrk::kTunnelRefused, vrk::TlsSession::kUnsupported}) {
    EXPECT_NE(text.find(message), std::string::npos) << "not in the guide: " << message;
  }
}

}  // namespace
