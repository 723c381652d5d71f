// The response head on its own: the length rule, the bound, values safe for a request and
// the bodies that a kept connection ends by the head alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/response_head.h"
#include "net/sock_exceptions.h"

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
  const std::vector<Values> refused{Values{},        Values{" -5"},     Values{" +5"},       Values{" x9y"},
                                    Values{" 9y"},    Values{" 1 2"},    Values{" "},         Values{" 3", " 6"},
                                    Values{" 3", " x"}, Values{" 2147483648"}, Values{" 99999999999999999999"},
                                    Values{" 5\r"}};
  for (std::size_t i = 0; i < refused.size(); ++i) {
    EXPECT_EQ(ValidContentLength(refused[i]), std::nullopt) << "case " << i;
  }
}

TEST(ResponseHead, KeptConnectionEndsTheBodyByAValidLengthOrByTheHeadAlone) {
  const auto kept = [](const std::string& status, const std::string& lengths, bool headRequest) {
    return Read({status + "\r\n", "Connection: Keep-Alive\r\n", lengths, "\r\n"}).KeptBodyLength(headRequest);
  };
  EXPECT_EQ(kept("HTTP/1.0 200 OK", "Content-Length: 7\r\n", false), 7);
  EXPECT_EQ(kept("HTTP/1.0 200 OK", "Content-length:7\r\n", false), 7);
  EXPECT_EQ(kept("HTTP/1.0 200 OK", "Content-Length: 3\r\nContent-Length:6\r\n", false), std::nullopt);
  EXPECT_EQ(kept("HTTP/1.0 200 OK", "X: y\r\n", false), std::nullopt);
  EXPECT_EQ(kept("HTTP/1.0 200 OK", "Content-Length: 7\r\n", true), 0);
  for (const char* status : {"HTTP/1.1 100 Continue", "HTTP/1.1 199 X", "HTTP/1.0 204 No Content",
                             "HTTP/1.0 304 Not Modified"}) {
    EXPECT_EQ(kept(status, "Content-Length: 7\r\n", false), 0) << status;
  }
  EXPECT_EQ(kept("HTTP/1.0 205 Reset", "X: y\r\n", false), std::nullopt);
  // Without the token the close ends the body, whatever the head says.
  EXPECT_EQ(Read({"HTTP/1.0 204 No Content\r\n", "Content-Length: 7\r\n", "\r\n"}).KeptBodyLength(true),
            std::nullopt);
}

TEST(ResponseHead, ValuesForTheNextRequestEndAtTheirFirstCarriageReturnOrLineFeed) {
  const TResponseHead head = Read({"HTTP/1.0 302 Found\r\n", "Location: /a\rX-Injected: yes\r\n",
                                   "Set-Cookie: s=1\rX-Evil: 1\r\n", "\r\n"});
  EXPECT_EQ(head.Status(), 302);
  EXPECT_EQ(head.Location(), Text("/a"));
  EXPECT_EQ(head.Cookie(), "s=1");
  EXPECT_EQ(Read({"HTTP/1.0 200 OK\r\n", "Set-Cookie: id=7; path=/\n"}).Cookie(), "id=7; path=/");
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
  try {
    head.Take("X\r\n");
    FAIL() << "no exception";
  } catch (const ESockError& error) {
    EXPECT_EQ(error.Message(), kResponseHeadTooLarge);
  }
  EXPECT_EQ(head.Bytes(), kMaxResponseHeadBytes - 2);
}

}  // namespace
}  // namespace vrk
