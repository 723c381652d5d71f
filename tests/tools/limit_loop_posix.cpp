// The fetch benchmark's limit loop (bench/limit_loop.cpp) against the scripted server: the head
// ends in another read than it began, and the text ends at its first zero byte, as the tool's.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/scratch_folder.h"
#include "tools/scripted_server/scripted_server.h"

namespace vrk_test {
namespace {

using namespace std::chrono_literals;

TEST(LimitLoop, WritesTheBodyAfterASplitHeadUpToTheZeroByte) {
#ifndef VRK_LIMIT_LOOP
  GTEST_SKIP() << "the benchmarks are not built";
#else
  ScriptedServer server(ConnectionPlan::Repeating(Script().ReceiveHead().SendPieces(
      {"HTTP/1.0 200 OK\r\nX-Note: a\rb\r", "\n\r", "\nfirst, ", std::string("second\0after", 12)}, 50ms)));
  ScratchFolder folder("vrk-limit-loop-");
  const std::string out = folder.Put("out.txt", std::string(100, 'o'));

  ChildProcess loop(VRK_LIMIT_LOOP, Arguments({"http://127.0.0.1:" + std::to_string(server.Port()) + "/t.txt", out}));
  ASSERT_EQ(loop.Wait(20s), 0);
  EXPECT_EQ(folder.Get("out.txt"), "first, second");
#endif
}

}  // namespace
}  // namespace vrk_test
