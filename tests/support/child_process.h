// A program run as a child of the test: started by the constructor, and ended at the latest
// by the destructor. Used for the tool itself, the test peers and the benchmarked clients.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vrk_test {

// Where one of the child's standard streams goes.
enum class Stream { kInherit, kNull, kPipe };

struct ChildOptions {
  std::vector<std::string> arguments;
  // What the child gets as its own name (token 0 of its command line); the program when unset.
  std::optional<std::string> programName;
  // Its current folder; the test's when empty.
  std::string workDir;
  // "NAME=value" entries in place of inherited ones of the same name; a bare "NAME" leaves that
  // variable out.
  std::vector<std::string> environment;
  Stream input = Stream::kInherit;
  Stream output = Stream::kInherit;
  Stream error = Stream::kInherit;
  // When set, output and error both go to this file, made afresh (POSIX).
  std::string outputFile;
  // The show state its first window is asked for (an SW_ value; Windows), or none.
  std::optional<int> showState;
};

// Options with these arguments, all else as it comes.
inline ChildOptions Arguments(std::vector<std::string> arguments) {
  ChildOptions options;
  options.arguments = std::move(arguments);
  return options;
}

class ChildProcess {
 public:
  // Throws std::runtime_error when the program cannot be started.
  explicit ChildProcess(const std::string& program, const ChildOptions& options = {});
  // A child still running is killed.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  unsigned long Id() const;
  // Its exit code once it has ended, waiting at most `timeout`. A POSIX child ended by a
  // signal gives 128 plus the signal's number, as shells tell it.
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  bool Running() { return !Wait(std::chrono::milliseconds(0)); }
  // Asks it to end (SIGTERM; Windows has no such request and ends it at once) and kills it
  // when it has not ended within `grace`. Its exit code when it ended by itself.
  std::optional<int> Stop(std::chrono::milliseconds grace = std::chrono::seconds(5));
  void Kill();

  // Piped streams.
  void CloseInput();
  // The next line of its output without the line feed, read a byte at a time so that nothing
  // after it is taken; what came when the time ran out or the output ended first.
  std::string ReadLine(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Reads its output and error until both end; false when `timeout` passed first.
  bool ReadToEnd(std::string& output, std::string& error, std::chrono::milliseconds timeout);

  // POSIX, 0 elsewhere. The child's own peak resident memory in KiB as last seen while
  // ReadToEnd read.
  long PeakKiB() const;
  // The ended child's ru_maxrss with its descendants'. It began as a copy of this process, so
  // this process's memory at the start counts too.
  long MaxRssKiB() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vrk_test
