// Byte order and the dotted form of IPv4 addresses; pure computation, no start-up needed.
#include <cctype>
#include <cstdio>

#include "base/ascii.h"
#include "platform/posix/win32.h"

namespace {

bool HostIsLittleEndian() {
  const std::uint16_t probe = 1;
  return *reinterpret_cast<const unsigned char*>(&probe) == 1;
}

// One part of a dotted address: decimal, octal with a leading 0, or hex with 0x.
bool ParsePart(const char*& text, std::uint32_t* value) {
  unsigned base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
    if (!std::isxdigit(static_cast<unsigned char>(*text))) return false;
  } else if (text[0] == '0') {
    base = 8;
  }
  if (!std::isxdigit(static_cast<unsigned char>(*text))) return false;
  std::uint64_t result = 0;
  for (;; ++text) {
    int c = static_cast<unsigned char>(*text);
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && vrk::ascii::HexDigitValue(static_cast<char>(c)) >= 0) {
      digit = static_cast<unsigned>(vrk::ascii::HexDigitValue(static_cast<char>(c)));
    } else {
      break;
    }
    if (digit >= base) return false;
    result = result * base + digit;
    if (result > 0xffffffffu) return false;
  }
  *value = static_cast<std::uint32_t>(result);
  return true;
}

}  // namespace

namespace vrk_winsock {

u_short htons(u_short value) {
  return HostIsLittleEndian() ? static_cast<u_short>((value >> 8) | (value << 8)) : value;
}
u_short ntohs(u_short value) { return htons(value); }

u_long htonl(u_long value) {
  if (!HostIsLittleEndian()) return value;
  return ((value & 0xffu) << 24) | ((value & 0xff00u) << 8) | ((value >> 8) & 0xff00u) |
         (value >> 24);
}
u_long ntohl(u_long value) { return htonl(value); }

// "a.b.c.d", "a.b.c" (c 16 bits), "a.b" (b 24 bits) or "a"; the address may be followed by
// white space and anything after it. Result in network byte order; INADDR_NONE if invalid.
u_long inet_addr(const char* text) {
  if (text == nullptr) return INADDR_NONE;
  std::uint32_t parts[4];
  int count = 0;
  const char* cursor = text;
  for (;;) {
    if (count == 4 || !ParsePart(cursor, &parts[count])) return INADDR_NONE;
    ++count;
    if (*cursor != '.') break;
    ++cursor;
  }
  if (*cursor != '\0' && !std::isspace(static_cast<unsigned char>(*cursor))) return INADDR_NONE;
  std::uint32_t host = 0;
  for (int i = 0; i < count - 1; ++i) {
    if (parts[i] > 0xff) return INADDR_NONE;
    host |= parts[i] << (24 - 8 * i);
  }
  std::uint32_t lastLimit = count == 1 ? 0xffffffffu : (0xffffffffu >> (8 * (count - 1)));
  if (parts[count - 1] > lastLimit) return INADDR_NONE;
  host |= parts[count - 1];
  return htonl(host);
}

char* inet_ntoa(in_addr address) {
  thread_local char text[16];
  const auto& b = address.S_un.S_un_b;
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", b.s_b1, b.s_b2, b.s_b3, b.s_b4);
  return text;
}

}  // namespace vrk_winsock
