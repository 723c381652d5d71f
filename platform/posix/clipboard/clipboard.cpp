#include "platform/posix/clipboard/clipboard.h"

#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "platform/posix/clipboard/held_text.h"
#include "platform/posix/clipboard/tool_process.h"
#include "platform/posix/kernel/system_text_detail.h"
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

// A copying tool of the desktop and the one that reads the clipboard back.
struct ClipboardTools {
  std::vector<std::string> writer;
  std::vector<std::string> reader;  // empty: none to confirm the copy with
};

std::vector<std::string> Found(const std::string& name, std::vector<std::string> arguments) {
  std::string program = FindProgram(name);
  if (program.empty()) return {};
  arguments.insert(arguments.begin(), program);
  return arguments;
}

// Every tool the desktop offers, in the order they are tried: a Wayland session may also run
// an X server whose clipboard serves where wl-copy finds no seat.
std::vector<ClipboardTools> FindClipboardTools() {
  std::vector<ClipboardTools> tools;
  const auto add = [&tools](std::vector<std::string> writer, std::vector<std::string> reader) {
    if (!writer.empty()) tools.push_back({std::move(writer), std::move(reader)});
  };
  if (IsSet("WAYLAND_DISPLAY")) add(Found("wl-copy", {}), Found("wl-paste", {"--no-newline"}));
  if (IsSet("DISPLAY")) {
    add(Found("xclip", {"-selection", "clipboard"}), Found("xclip", {"-selection", "clipboard", "-o"}));
    add(Found("xsel", {"--clipboard", "--input"}), Found("xsel", {"--clipboard", "--output"}));
  }
  return tools;
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

// The last line a failed tool wrote about itself, after its name; its exit alone otherwise.
std::string Reason(const std::vector<std::string>& writer, int errors) {
  const std::string& program = writer.front();
  const std::string name = program.substr(program.rfind('/') + 1);
  char bytes[4096];
  const ssize_t got = errors >= 0 ? pread(errors, bytes, sizeof bytes, 0) : -1;
  std::string said(bytes, got > 0 ? static_cast<std::size_t>(got) : 0);
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) said.pop_back();
  said.erase(0, said.find_last_of('\n') + 1);
  return name + ": " + (said.empty() ? "it failed" : said);
}

// The tool reads its input, forks the holder and exits; its exit status tells the outcome,
// and what it wrote on its error stream why it failed. The errors go to a file in memory
// rather than a pipe: the holder keeps the stream, and must never die writing to it.
bool RunWriter(const std::vector<std::string>& writer, const std::string& text, std::string& reason) {
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
  const int errors = memfd_create("vrk-clipboard-errors", MFD_CLOEXEC);
  const pid_t child = StartTool(writer, ends[1], -1, errors);
  close(ends[1]);
  if (child < 0) {
    close(ends[0]);
    if (errors >= 0) close(errors);
    reason = Reason(writer, -1);
    return false;
  }
  const bool sent = SendAll(ends[0], text);
  close(ends[0]);
  const bool succeeded = ToolSucceeded(child, ToolClock::now() + kToolLimit) && sent;
  if (!succeeded) reason = Reason(writer, errors);
  if (errors >= 0) close(errors);
  return succeeded;
}

}  // namespace

bool PutTextOnClipboard(const std::string& text) {
  std::string reason;
  for (const ClipboardTools& tools : FindClipboardTools()) {
    if (!RunWriter(tools.writer, text, reason)) continue;
    // On Windows the text is on the clipboard when the call returns, and batch files read it
    // right after the run; here the copying tool ends before its holder has taken the
    // clipboard. A holder that never shows the text within the limit (a clipboard that
    // changes what it is given) does not fail the copy: the tool took the text.
    if (!tools.reader.empty()) AwaitHeldText(tools.reader, text, ToolClock::now() + kHolderLimit);
    return true;
  }
  // No display, no tool, or every tool refused: the last one's words are the system's text.
  SetSystemTextDetail(ERROR_CLIPBOARD_NOT_OPEN, reason);
  SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
  return false;
}

}  // namespace vrk_posix
