// What the HTTP client must make of a reply that reached it whole and in order: the reply's
// bytes read again line by line with ReadLn's limit and the head parser's rules, written out
// here a second way from the plain bytes alone, without the socket in between.
#pragma once

#include <string>
#include <string_view>

namespace vrk::fuzz {

struct ExpectedReply {
  // Empty when the request completes; otherwise the message of the ESockError it raises.
  std::string failure;
  // When it completes: the head as the client keeps it (every whole line ReadLn gave) and
  // the body.
  std::string header;
  std::string body;
};

// `reply` ended with close_notify (`properEnd`) or with the connection alone.
ExpectedReply ExpectReply(std::string_view reply, bool headRequest, bool properEnd);

}  // namespace vrk::fuzz
