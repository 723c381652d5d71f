// The error text table and the character position helper.
#include <gtest/gtest.h>

#include <cstring>

#include "net/Psock.h"
#include "net/sock_errors.h"

namespace vrk {
namespace {

TEST(SocketErrorTable, HoldsFiftyEntriesInAscendingOrderWithinTheLengthLimit) {
  ASSERT_EQ(SocketErrorTableSize, 50u);
  for (std::size_t i = 0; i < SocketErrorTableSize; ++i) {
    EXPECT_LE(std::strlen(SocketErrorTable[i].Text), 51u) << SocketErrorTable[i].Code;
    if (i > 0) {
      EXPECT_LT(SocketErrorTable[i - 1].Code, SocketErrorTable[i].Code);
    }
  }
  EXPECT_EQ(SocketErrorTable[0].Code, 10004);
  EXPECT_EQ(SocketErrorTable[49].Code, 11004);
}

TEST(SocketErrorTable, MessagesJoinCodeAndTextOrNameTheUnknownCode) {
  EXPECT_EQ(SocketErrorMessage(10054), "10054:Connection reset by peer");
  EXPECT_EQ(SocketErrorMessage(10061), "10061:Connection refused");
  EXPECT_EQ(SocketErrorMessage(11003), "11003:Non-Recoverable error: FORMERR, REFUSED, NOTIMP");
  EXPECT_EQ(SocketErrorMessage(10047), "10047:Address family not supported by protocol family");
  EXPECT_EQ(SocketErrorMessage(10072), "Unknown Error No. 10072");
  EXPECT_EQ(SocketErrorMessage(10101), "Unknown Error No. 10101");
  EXPECT_EQ(SocketErrorMessage(0), "");
}

TEST(NthCharPos, FindsTheNthOccurrenceOrOnePastTheEnd) {
  EXPECT_EQ(NthCharPos("http://host/", '/', 3), 12);
  EXPECT_EQ(NthCharPos("http://host/path", '/', 3), 12);
  EXPECT_EQ(NthCharPos("http://host", '/', 3), 12);
  EXPECT_EQ(NthCharPos("", '/', 3), 1);
  EXPECT_EQ(NthCharPos("/", '/', 1), 1);
}

}  // namespace
}  // namespace vrk
