// The first bytes of a server's answer, as the Windows TLS session reads them before Secure
// Channel does: whatever piece of them has come so far.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/tls/server_answer.h"

namespace vrk::schannel {
namespace {

ServerAnswer Read(const std::string& bytes) {
  return ReadServerAnswer(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// A handshake record that starts with a server hello of this version.
std::string Hello(const std::string& version) {
  return std::string("\x16\x03\x03\x00\x4a\x02\x00\x00\x46", 9) + version + std::string(32, 'r');
}

TEST(ServerAnswer, TellsTlsFromTheFirstBytesThatDecide) {
  const std::string hello12 = Hello("\x03\x03");
  // Up to the hello's version nothing is told, one byte at a time as the socket may give them.
  for (std::size_t size = 0; size < 11; ++size) EXPECT_EQ(Read(hello12.substr(0, size)), ServerAnswer::NeedMore) << size;
  EXPECT_EQ(Read(hello12.substr(0, 11)), ServerAnswer::Hello);
  EXPECT_EQ(Read(Hello("\x03\x01")), ServerAnswer::OldProtocol);
  EXPECT_EQ(Read(Hello(std::string("\x03\x00", 2))), ServerAnswer::OldProtocol);
  EXPECT_EQ(Read(std::string("\x15\x03\x03\x00\x02\x02\x46", 7)), ServerAnswer::OldProtocol);
  EXPECT_EQ(Read(std::string("\x15\x03\x03\x00\x02\x02\x28", 7)), ServerAnswer::Alert);
  EXPECT_EQ(Read("HTTP/1.0 400 Bad Request\r\n"), ServerAnswer::NotTls);
  EXPECT_EQ(Read(std::string("\x16\x03\x03\x00\x04\x0e\x00\x00\x00", 9)), ServerAnswer::NotTls);  // hello done first
  EXPECT_EQ(Read(std::string("\x16\x03\x03\x00\x00", 5)), ServerAnswer::NotTls);                  // empty record
  EXPECT_EQ(Read(std::string("\x80\x2e\x02\x00\x02", 5)), ServerAnswer::NotTls);                  // SSL 2
}

}  // namespace
}  // namespace vrk::schannel
