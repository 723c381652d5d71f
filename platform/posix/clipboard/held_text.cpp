#include "platform/posix/clipboard/held_text.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace vrk_posix {
namespace {

// Between two readings: the holder usually needs a few milliseconds more than its parent.
constexpr auto kPause = std::chrono::milliseconds(10);
// How long a reading may wait for its first byte (or its end). A reader that asked the
// holder that is just losing the clipboard gets no answer ever; the next one asks the new.
constexpr auto kAnswerLimit = std::chrono::milliseconds(300);

// Whether the reader's output, read until its end, is `text`; a difference ends the reading
// at once, so a large foreign text costs no more than its first bytes.
bool OutputIs(int output, std::string_view text, ToolClock::time_point deadline) {
  std::size_t matched = 0;
  bool answered = false;
  const ToolClock::time_point unanswered = std::min(deadline, ToolClock::now() + kAnswerLimit);
  char chunk[65536];
  for (;;) {
    const ToolClock::time_point until = answered ? deadline : unanswered;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - ToolClock::now());
    if (left.count() <= 0) return false;
    pollfd watch{output, POLLIN, 0};
    const int ready = poll(&watch, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t got = read(output, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return matched == text.size();
    answered = true;
    const auto count = static_cast<std::size_t>(got);
    if (count > text.size() - matched || std::memcmp(chunk, text.data() + matched, count) != 0) {
      return false;
    }
    matched += count;
  }
}

bool ReadsBack(const std::vector<std::string>& reader, std::string_view text,
               ToolClock::time_point deadline) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  const pid_t child = StartTool(reader, -1, ends[1]);
  close(ends[1]);
  if (child < 0) {
    close(ends[0]);
    return false;
  }
  const bool same = OutputIs(ends[0], text, deadline);
  close(ends[0]);
  // A reader that printed something else need not finish: it is ended at once.
  return ToolSucceeded(child, same ? deadline : ToolClock::now()) && same;
}

}  // namespace

bool AwaitHeldText(const std::vector<std::string>& reader, std::string_view text,
                   ToolClock::time_point deadline) {
  while (!ReadsBack(reader, text, deadline)) {
    if (ToolClock::now() + kPause >= deadline) return false;
    std::this_thread::sleep_for(kPause);
  }
  return true;
}

}  // namespace vrk_posix
