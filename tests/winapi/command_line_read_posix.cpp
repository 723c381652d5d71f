// Where the emulated GetCommandLineA takes the arguments from: those main hands over, which
// need nothing more; without them, /proc, where a failed read ends the program instead of
// running it on fewer parameters than it was given. Each case runs in a child of this test
// program that has no descriptor left to open a file with.
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/posix/kernel/process_arguments.h"
#include "platform/winapi.h"
#include "tests/support/child_process.h"

namespace {

constexpr char kChildCase[] = "VRK_COMMAND_LINE_CASE";

// From here on every open fails with EMFILE, until the limit it gives back is set again.
rlimit TakeEveryDescriptor() {
  rlimit saved{};
  EXPECT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowestFree = ::dup(0);
  EXPECT_GE(lowestFree, 0);
  ::close(lowestFree);
  rlimit limit = saved;
  limit.rlim_cur = static_cast<rlim_t>(lowestFree);
  EXPECT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
  return saved;
}

struct ChildRun {
  int exitCode = -1;
  std::string error;
};

// Runs this test alone in a child, which sees `childCase` and acts it out.
ChildRun RunChild(const std::string& test, const char* childCase) {
  vrk_test::ChildOptions options = vrk_test::Arguments({"--gtest_filter=CommandLineRead." + test});
  options.environment = {std::string(kChildCase) + "=" + childCase};
  options.output = vrk_test::Stream::kPipe;
  options.error = vrk_test::Stream::kPipe;
  vrk_test::ChildProcess child("/proc/self/exe", options);
  ChildRun run;
  std::string output;
  EXPECT_TRUE(child.ReadToEnd(output, run.error, std::chrono::seconds(60)));
  run.exitCode = child.Wait(std::chrono::seconds(60)).value_or(-1);
  return run;
}

bool IsChild(const char* childCase) {
  const char* value = std::getenv(kChildCase);
  return value != nullptr && std::string(value) == childCase;
}

TEST(CommandLineRead, HandedArgumentsMakeTheLineWithoutOpeningAnything) {
  if (IsChild("handed")) {
    const rlimit saved = TakeEveryDescriptor();
    static const char* const arguments[] = {"/no such/vrk", "http://h/a.txt", "W",
                                            "out put.txt", ""};
    vrk_posix::SetProcessArguments(5, arguments);
    const std::string line = GetCommandLineA();
    // The sanitizers' runtime needs descriptors of its own to check what follows.
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(line, "\"/no such/vrk\" http://h/a.txt W \"out put.txt\" \"\"");
    return;
  }
  const ChildRun run = RunChild("HandedArgumentsMakeTheLineWithoutOpeningAnything", "handed");
  EXPECT_EQ(run.exitCode, 0) << run.error;
}

TEST(CommandLineRead, AnUnreadableLineEndsTheProgramInsteadOfShorteningIt) {
  if (IsChild("unreadable")) {
    TakeEveryDescriptor();
    GetCommandLineA();  // does not return
    return;
  }
  const ChildRun run =
      RunChild("AnUnreadableLineEndsTheProgramInsteadOfShorteningIt", "unreadable");
  EXPECT_EQ(run.exitCode, EXIT_FAILURE);
  EXPECT_EQ(run.error, "cannot read the command line: Too many open files\n");
}

}  // namespace
