#include "platform/posix/clipboard/clipboard.h"

#include <poll.h>
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
// How long its holders may then take to show the text to others, new copies included.
constexpr auto kHolderLimit = std::chrono::seconds(2);
// How often the text is given again when its holder did not keep it.
constexpr int kCopyAttempts = 5;

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

// The last line a failed tool wrote about itself, after its name; `otherwise` when it wrote none.
std::string Reason(const std::vector<std::string>& writer, int errors, const char* otherwise) {
  const std::string& program = writer.front();
  const std::string name = program.substr(program.rfind('/') + 1);
  char bytes[4096];
  const ssize_t got = errors >= 0 ? pread(errors, bytes, sizeof bytes, 0) : -1;
  std::string said(bytes, got > 0 ? static_cast<std::size_t>(got) : 0);
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) said.pop_back();
  said.erase(0, said.find_last_of('\n') + 1);
  return name + ": " + (said.empty() ? otherwise : said);
}

// Whether the holder still runs: it keeps the input we gave its parent, so the socket's other
// end stays open for as long as it lives (a zombie included, which keeps nothing open).
bool HolderRuns(int input) {
  pollfd watch{input, POLLRDHUP, 0};
  while (poll(&watch, 1, 0) < 0 && errno == EINTR) {
  }
  return (watch.revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0;
}

enum class Copy { kRefused, kShown, kTaken, kLost };

// The tool reads its input, forks the holder and exits; its exit status tells the outcome,
// and what it wrote on its error stream why it failed. The errors go to a file in memory
// rather than a pipe: the holder keeps the stream, and must never die writing to it.
Copy RunWriter(const ClipboardTools& tools, const std::string& text,
               ToolClock::time_point deadline, std::string& reason) {
  const std::vector<std::string>& writer = tools.writer;
  int ends[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return Copy::kRefused;
  const int errors = memfd_create("vrk-clipboard-errors", MFD_CLOEXEC);
  const pid_t child = StartTool(writer, ends[1], -1, errors);
  close(ends[1]);
  if (child < 0) {
    close(ends[0]);
    if (errors >= 0) close(errors);
    reason = Reason(writer, -1, "it failed");
    return Copy::kRefused;
  }
  // The end of the text, with our end kept to watch the holder by.
  const bool sent = SendAll(ends[0], text) && shutdown(ends[0], SHUT_WR) == 0;
  Copy copy = Copy::kRefused;
  if (!ToolSucceeded(child, ToolClock::now() + kToolLimit) || !sent) {
    reason = Reason(writer, errors, "it failed");
  } else if (tools.reader.empty()) {
    copy = Copy::kTaken;  // nothing to confirm it with
  } else {
    switch (AwaitHeldText(tools.reader, text, HolderRuns, ends[0], deadline)) {
      case HeldText::kShown: copy = Copy::kShown; break;
      case HeldText::kTaken: copy = Copy::kTaken; break;
      case HeldText::kLost:
        copy = Copy::kLost;
        reason = Reason(writer, errors, "the text did not stay on the clipboard");
        break;
    }
  }
  close(ends[0]);
  if (errors >= 0) close(errors);
  return copy;
}

}  // namespace

bool PutTextOnClipboard(const std::string& text) {
  std::string reason;
  for (const ClipboardTools& tools : FindClipboardTools()) {
    // On Windows the text is on the clipboard when the call returns, and batch files read it
    // right after the run; here the copying tool ends before its holder has taken the
    // clipboard, so the copy is read back. A holder that ended with nothing of it there (it
    // could not start, or died) is given the text again, within the limit; then the copy
    // failed. A holder still running at the limit (a clipboard that changes what it is given,
    // or a copy beside ours that came later) has the text.
    const ToolClock::time_point deadline = ToolClock::now() + kHolderLimit;
    Copy copy = Copy::kLost;
    for (int attempt = 0; attempt < kCopyAttempts && copy == Copy::kLost; ++attempt) {
      if (attempt > 0 && ToolClock::now() >= deadline) break;
      copy = RunWriter(tools, text, deadline, reason);
    }
    if (copy == Copy::kShown || copy == Copy::kTaken) return true;
    if (copy == Copy::kLost) break;  // the tool took the text: the next would fare no better
  }
  // No display, no tool, every tool refused, or the text did not stay: the last tool's words
  // are the system's text.
  SetSystemTextDetail(ERROR_CLIPBOARD_NOT_OPEN, reason);
  SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
  return false;
}

}  // namespace vrk_posix
