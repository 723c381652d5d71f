#include "platform/command_line.h"

#include <algorithm>
#include <vector>

#include "platform/winapi.h"

namespace vrk {

namespace {

// Windows' longest path is 32767 UTF-16 units, each up to two bytes in a multi-byte code
// page and up to three in UTF-8 (Linux), and the terminator.
constexpr DWORD kLongestModulePath = 32767 * 3 + 1;

// Bytes are compared unsigned: in a multi-byte code page every lead and trail byte
// lies above 32 and differs from the double quote, so stepping byte by byte is
// the same as stepping over whole characters.
bool IsSeparator(char c) {
  auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

// Takes one token from p and returns where the next search starts. The program name
// is taken as it stands, an empty pair included: whatever its text, it is token 0.
const char* NextToken(const char* p, Text& token, bool programName) {
  while (IsSeparator(*p)) ++p;
  if (!programName && p[0] == '"' && p[1] == '"') {
    p += 2;
    while (IsSeparator(*p)) ++p;
  }
  Text collected;
  bool quoted = false;
  while (*p != '\0' && (quoted || !IsSeparator(*p))) {
    if (*p == '"') {
      quoted = !quoted;
    } else {
      collected += *p;
    }
    ++p;
  }
  token = collected;
  return p;
}

}  // namespace

std::vector<Text> SplitCommandLine(const char* raw) {
  std::vector<Text> tokens;
  if (raw == nullptr) return tokens;
  const char* p = raw;
  while (IsSeparator(*p)) ++p;
  if (*p == '\0') return tokens;  // no program name either
  Text name;
  p = NextToken(p, name, true);
  tokens.push_back(name);
  for (;;) {
    Text token;
    p = NextToken(p, token, false);
    if (token.IsEmpty()) break;
    tokens.push_back(token);
  }
  return tokens;
}

Text ParamStr(int index) {
  if (index == 0) return ModuleFileName();
  if (index < 0) return Text();
  std::vector<Text> tokens = SplitCommandLine(GetCommandLineA());
  if (static_cast<std::size_t>(index) >= tokens.size()) return Text();
  return tokens[static_cast<std::size_t>(index)];
}

int ParamCount() {
  std::vector<Text> tokens = SplitCommandLine(GetCommandLineA());
  return tokens.empty() ? 0 : static_cast<int>(tokens.size() - 1);
}

Text ModuleFileName() {
  // A tool in a deep folder has a path longer than MAX_PATH; a cut one names another file
  // (the settings one folder up), so the buffer grows until the whole path fits. The call
  // fills a buffer it cuts (older systems without the terminator) and then returns its size.
  for (DWORD size = MAX_PATH + 1;; size = std::min(size * 2, kLongestModulePath)) {
    std::vector<char> buffer(size);
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
    if (length == 0) return Text();
    if (length < size) return Text(buffer.data(), length);
    if (size == kLongestModulePath) return Text();  // never the cut path
  }
}

}  // namespace vrk
