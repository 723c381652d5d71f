// The response head on its own: the length rule and the bound.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "net/response_head.h"
#include "net/sock_exceptions.h"
#include "tests/support/expect_throw.h"

namespace vrk {
namespace {

TResponseHead Read(const std::vector<std::string>& lines) {
  TResponseHead head;
  for (const std::string& line : lines) {
    if (!head.Take(Text(line))) break;
  }
  return head;
}

TEST(ResponseHead, ContentLengthCountsOnlyWhenEveryValueIsTheSameDigits) {
  using Values = std::vector<Text>;
  EXPECT_EQ(ValidContentLength(Values{" 10"}), 10);
  EXPECT_EQ(ValidContentLength(Values{"\t 0 \t"}), 0);
  EXPECT_EQ(ValidContentLength(Values{" 5", "5 ", "05"}), 5);
  EXPECT_EQ(ValidContentLength(Values{" 2147483647"}), 2147483647);
  const std::vector<Values> refused{
      {}, {" -5"}, {" +5"}, {" x9y"}, {" 9y"}, {" 1 2"}, {" "}, {" 3", " 6"}, {" 3", " x"}, {" 5\r"},
      {" 2147483648"}, {" 99999999999999999999"}};
  for (std::size_t i = 0; i < refused.size(); ++i) {
    EXPECT_EQ(ValidContentLength(refused[i]), std::nullopt) << "case " << i;
  }
}

// Which lines name the length, and that only a kept connection ends a body by it; the
// answers without a body are tried over sockets.
TEST(ResponseHead, KeptConnectionEndsTheBodyByAValidLength) {
  const auto kept = [](const std::string& lines) {
    return Read({"HTTP/1.0 200 OK\r\n", "Connection: Keep-Alive\r\n", lines, "\r\n"}).KeptBodyLength(false);
  };
  EXPECT_EQ(kept("Content-Length: 7\r\n"), 7);
  EXPECT_EQ(kept("content-length:7\r\n"), 7);
  EXPECT_EQ(kept("Content-Length: 3\r\nContent-Length:6\r\n"), std::nullopt);
  EXPECT_EQ(kept("X: y\r\n"), std::nullopt);
  EXPECT_EQ(Read({"HTTP/1.0 200 OK\r\n", "Content-Length: 7\r\n", "\r\n"}).KeptBodyLength(false), std::nullopt);
}

// The close cuts the answer short anywhere before the head's empty line, inside the status
// line and before any byte too; only an answer without a head may end so.
TEST(ResponseHead, CloseCutsShortAllButAHeadlessAnswer) {
  EXPECT_TRUE(Read({"HTTP/1.0 200 OK\r\n", "Content-Le", ""}).CutShort());
  EXPECT_TRUE(Read({"HTTP/1.0 200 OK\r\n", ""}).CutShort());
  EXPECT_FALSE(Read({"HTTP/1.0 200 OK\r\n", "\n", ""}).CutShort());
  const auto closedInTheFirstLine = [](std::string_view cutOff) {
    TResponseHead head;
    EXPECT_FALSE(head.Take("", cutOff));
    return head.CutShort();
  };
  for (const char* cutOff : {"", "H", "HTT", "HTTP/", "HTTP/1.0 200 OK\r"}) {
    EXPECT_TRUE(closedInTheFirstLine(cutOff)) << cutOff;
  }
  for (const char* cutOff : {"<html>", "HTTX", "ok"}) EXPECT_FALSE(closedInTheFirstLine(cutOff)) << cutOff;
}

TEST(ResponseHead, HeadMayFillTheBoundButNotPassIt) {
  const std::string status = "HTTP/1.0 200 OK\r\n";
  const std::string filler = "X-Fill: " + std::string(1014, 'a') + "\r\n";  // 1 KiB
  TResponseHead head;
  head.Take(Text(status));
  while (head.Bytes() + filler.size() <= kMaxResponseHeadBytes - 2) head.Take(Text(filler));
  const std::size_t left = kMaxResponseHeadBytes - 2 - head.Bytes();
  head.Take(Text("X: " + std::string(left - 5, 'b') + "\r\n"));
  TResponseHead full = head;
  EXPECT_FALSE(full.Take("\r\n"));
  EXPECT_EQ(full.Bytes(), kMaxResponseHeadBytes);
  EXPECT_THROW_MSG(head.Take("X\r\n"), ESockError, kResponseHeadTooLarge);
  EXPECT_EQ(head.Bytes(), kMaxResponseHeadBytes - 2);
}

TEST(ResponseHead, OnlyTheSecureAttributeKeepsACookieToTls) {
  for (const char* cookie : {"s=1; Secure", "s=1;secure", "s=1; path=/; SECURE ", "s=1; Secure; path=/"}) {
    EXPECT_TRUE(SecureOnlyCookie(cookie)) << cookie;
  }
  for (const char* cookie : {"s=1", "secure=1", "s=Secure", "s=1; Securely", "s=1; path=/secure"}) {
    EXPECT_FALSE(SecureOnlyCookie(cookie)) << cookie;
  }
}

}  // namespace
}  // namespace vrk
