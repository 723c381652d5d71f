// The splitting rule on any command line: no crash, and splitting the tokens joined
// again in quotes gives the same tokens back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  line = line.c_str();  // a command line ends at its first zero byte
  auto tokens = vrk::SplitCommandLine(line.c_str());
  std::string again;
  for (const vrk::Text& token : tokens) {
    if (token.IsEmpty() || token.Pos("\"") != 0) return 0;  // not representable when quoted
    again += "\"" + token.ToStdString() + "\" ";
  }
  auto back = vrk::SplitCommandLine(again.c_str());
  if (back.size() != tokens.size()) std::abort();
  for (std::size_t i = 0; i < back.size(); ++i) {
    if (!(back[i] == tokens[i])) std::abort();
  }
  return 0;
}
