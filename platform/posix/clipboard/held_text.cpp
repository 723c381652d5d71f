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
// How long a reading may wait for its first byte (or its end) before the next one starts. A
// reader that asked the holder that is just losing the clipboard gets no answer ever; the
// next one asks the new.
constexpr auto kAnswerLimit = std::chrono::milliseconds(300);
// How long a reader still waiting is left to its holder before it is ended: a holder that
// answers later than this has had a second on a machine that is busy indeed.
constexpr auto kReaderGrace = std::chrono::seconds(1);

struct Reader {
  pid_t child = -1;
  int output = -1;
  ToolClock::time_point started;
  std::size_t matched = 0;
  bool differs = false;
};

enum class Reading { kSame, kOther, kNothing, kWaiting };

// Reads what the reader prints until its end or `until`, comparing it with `text`. A
// different text is read to its end all the same: a reader ended in the middle of a long
// transfer would take its holder with it.
bool ReadToEnd(Reader& reader, std::string_view text, ToolClock::time_point until) {
  char chunk[65536];
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - ToolClock::now());
    pollfd watch{reader.output, POLLIN, 0};
    const int ready = poll(&watch, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t got = read(reader.output, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return true;
    const auto count = static_cast<std::size_t>(got);
    if (!reader.differs && (count > text.size() - reader.matched ||
                            std::memcmp(chunk, text.data() + reader.matched, count) != 0)) {
      reader.differs = true;
    }
    reader.matched += count;
  }
}

void Finish(Reader& reader, ToolClock::time_point until) {
  close(reader.output);
  ToolSucceeded(reader.child, until);
}

// One reading; a reader that has not ended by the answer limit is parked.
Reading ReadOnce(const std::vector<std::string>& tool, std::string_view text,
                 std::vector<Reader>& parked) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return Reading::kNothing;
  Reader reader;
  reader.child = StartTool(tool, -1, ends[1]);
  reader.output = ends[0];
  reader.started = ToolClock::now();
  close(ends[1]);
  if (reader.child < 0) {
    close(ends[0]);
    return Reading::kNothing;
  }
  if (!ReadToEnd(reader, text, reader.started + kAnswerLimit)) {
    parked.push_back(reader);
    return Reading::kWaiting;
  }
  close(reader.output);
  // Its output has ended: the reader is ending too.
  const bool succeeded = ToolSucceeded(reader.child, ToolClock::now() + kReaderGrace);
  if (!succeeded) return Reading::kNothing;
  return !reader.differs && reader.matched == text.size() ? Reading::kSame : Reading::kOther;
}

// Readers still waiting get the rest of their grace to be answered, and are then ended.
void Dismiss(std::vector<Reader>& parked, std::string_view text) {
  for (Reader& reader : parked) {
    const ToolClock::time_point until = reader.started + kReaderGrace;
    ReadToEnd(reader, text, until);
    Finish(reader, until);
  }
  parked.clear();
}

}  // namespace

HeldText AwaitHeldText(const std::vector<std::string>& reader, std::string_view text,
                       bool (*holderRuns)(int), int holderWatch, ToolClock::time_point deadline) {
  std::vector<Reader> parked;
  const bool started = holderRuns(holderWatch);
  HeldText outcome = HeldText::kLost;
  for (;;) {
    const Reading reading = ReadOnce(reader, text, parked);
    if (reading == Reading::kSame) {
      outcome = HeldText::kShown;
      break;
    }
    if (!holderRuns(holderWatch)) {
      // Ended after another text took its place (a holder that dies leaves no owner behind),
      // or ended with nothing of it on the clipboard; a reader that got no answer tells
      // neither, and the next one does.
      if (reading == Reading::kWaiting && ToolClock::now() < deadline) continue;
      outcome = started && reading == Reading::kOther ? HeldText::kTaken : HeldText::kLost;
      break;
    }
    if (ToolClock::now() + kPause >= deadline) {
      // Still running: it has the text, and took the clipboard after a copy beside ours or
      // has yet to take it; with no owner at all it did not keep it.
      outcome = reading == Reading::kNothing ? HeldText::kLost : HeldText::kTaken;
      break;
    }
    std::this_thread::sleep_for(kPause);
  }
  Dismiss(parked, text);
  return outcome;
}

}  // namespace vrk_posix
