#include "platform/posix/clipboard/clipboard.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "platform/posix/clipboard/held_text.h"
#include "platform/posix/clipboard/tool_process.h"
#include "platform/posix/win32.h"

namespace vrk_posix {
namespace {

// How long the tool may take to read the text and put its holder in the background.
constexpr auto kToolLimit = std::chrono::seconds(10);
// How long its holder may then take to show the text to others.
constexpr auto kHolderLimit = std::chrono::seconds(2);

bool IsSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != 0;
}

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// The desktop's copying tool and the one that reads the clipboard back.
struct ClipboardTools {
  std::vector<std::string> writer;  // empty: no clipboard can be reached
  std::vector<std::string> reader;  // empty: none to confirm the copy with
};

std::vector<std::string> Found(const std::string& name, std::vector<std::string> arguments) {
  std::string program = FindProgram(name);
  if (program.empty()) return {};
  arguments.insert(arguments.begin(), program);
  return arguments;
}

// The first tool the desktop offers.
ClipboardTools FindClipboardTools() {
  if (IsSet("WAYLAND_DISPLAY")) {
    if (auto writer = Found("wl-copy", {}); !writer.empty()) {
      return {writer, Found("wl-paste", {"--no-newline"})};
    }
  }
  if (IsSet("DISPLAY")) {
    if (auto writer = Found("xclip", {"-selection", "clipboard"}); !writer.empty()) {
      return {writer, Found("xclip", {"-selection", "clipboard", "-o"})};
    }
    if (auto writer = Found("xsel", {"--clipboard", "--input"}); !writer.empty()) {
      return {writer, Found("xsel", {"--clipboard", "--output"})};
    }
  }
  return {};
}

// A socket rather than a pipe: a tool that quits early must not kill us with SIGPIPE.
bool SendAll(int socket, const std::string& text) {
  std::size_t sent = 0;
  while (sent < text.size()) {
    ssize_t count = send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    sent += static_cast<std::size_t>(count);
  }
  return true;
}

// The tool reads its input, forks the holder and exits; its exit status tells the outcome.
bool RunWriter(const std::vector<std::string>& writer, const std::string& text) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  const pid_t child = StartTool(writer, ends[1], -1);
  close(ends[1]);
  if (child < 0) {
    close(ends[0]);
    return false;
  }
  const bool sent = SendAll(ends[0], text);
  close(ends[0]);
  return ToolSucceeded(child, ToolClock::now() + kToolLimit) && sent;
}

}  // namespace

bool PutTextOnClipboard(const std::string& text) {
  const ClipboardTools tools = FindClipboardTools();
  if (tools.writer.empty() || !RunWriter(tools.writer, text)) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return false;
  }
  // On Windows the text is on the clipboard when the call returns, and batch files read it
  // right after the run; here the copying tool ends before its holder has taken the
  // clipboard. A holder that never shows the text within the limit (a clipboard that changes
  // what it is given) does not fail the copy: the tool took the text.
  if (!tools.reader.empty()) AwaitHeldText(tools.reader, text, ToolClock::now() + kHolderLimit);
  return true;
}

}  // namespace vrk_posix
