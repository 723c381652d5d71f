#include "platform/command_line.h"

#include "platform/winapi.h"

namespace vrk {

namespace {

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
  char buffer[261];
  DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof(buffer));
  if (length == 0) return Text();
  // A cut path may come back unterminated on older systems; never read past the buffer.
  if (length > sizeof(buffer) - 1) length = sizeof(buffer) - 1;
  buffer[length] = '\0';
  return Text(buffer);
}

}  // namespace vrk
