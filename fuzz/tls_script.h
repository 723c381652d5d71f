// What the TLS transfer target's server does on one connection, read from the fuzz input so
// that seeds stay readable text. Line 1 holds words in any order: "HEAD" (the client asks with
// HEAD), "tls1.2" (the server speaks nothing newer), "tickets" (it sends session tickets after
// a TLS 1.3 handshake), "file" (the client takes the body into a file). Each further line is
// one step, its first byte saying which:
//   >TEXT    TEXT and a line feed join the plain bytes waiting to go out
//   +TEXT    TEXT alone joins them
//   *N TEXT  TEXT repeated N times joins them
//   |N       from here on the plain bytes go out in records of at most N bytes
//   ~P       the next bytes that reach the socket have their byte P (modulo their count) inverted
//   %N       only N more bytes reach the socket; then the connection ends without close_notify
//   !HEX     these raw bytes go on the socket, outside any record
//   k        a key update (TLS 1.3) or a renegotiation (TLS 1.2)
//   .        close_notify, and the end
//   x        a reset, and the end
// Every step but the first three sends the waiting plain bytes first. Past the last step the
// waiting bytes go out and the connection ends without close_notify.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vrk::fuzz {

struct TlsStep {
  enum class Kind { Plain, RecordSize, Invert, CutAfter, Raw, Rekey, CloseNotify, Reset };
  Kind kind;
  std::string bytes;       // Plain, Raw
  std::size_t number = 0;  // RecordSize, Invert, CutAfter
};

struct TlsScript {
  bool headRequest = false;
  bool tls12 = false;
  bool tickets = false;
  bool bodyToFile = false;
  std::vector<TlsStep> steps;
};

// Unknown step letters and malformed numbers are skipped or read as 0; a repeated text is
// bounded so that one input stays small in memory.
TlsScript ReadTlsScript(const std::uint8_t* data, std::size_t size);

}  // namespace vrk::fuzz
