// The accessibility bus as the emulation reads it: a private session bus, on which the GTK
// receiving program publishes its window, read back through the dlopened libatspi.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/posix/windows/accessibility_bus.h"
#include "tests/support/child_process.h"
#include "tests/support/host.h"

// libatspi keeps strings it copies with GLib while dispatching the bus's signals during a call;
// they are its own, not this code's. GLib has no frame pointers, so the leak checker of the
// sanitizer build sees only GLib on the stack; here only libatspi brings GLib in.
extern "C" const char* __lsan_default_suppressions() { return "leak:libglib-2.0.so\n"; }

namespace {

using vrk_test::ChildOptions;
using vrk_test::ChildProcess;
using vrk_test::Stream;

// A session bus of the test's own, so that the host's programs and buses play no part; the
// accessibility bus is started on it by bus activation at the first ask.
class AccessibilityBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == 0) GTEST_SKIP() << "GTK needs an X display";
    ChildOptions options;
    options.arguments = {"--session", "--nofork", "--print-address=1"};
    options.output = Stream::kPipe;
    options.error = Stream::kNull;
    bus_ = std::make_unique<ChildProcess>("/usr/bin/dbus-daemon", options);
    address_ = bus_->ReadLine();
    ASSERT_FALSE(address_.empty()) << "the session bus did not start";
    // Read once, when the emulation first loads libatspi.
    setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
  }

  // The receiver, once its window is shown; it ends when its input closes.
  std::unique_ptr<ChildProcess> StartReceiver(const std::string& title) {
    ChildOptions options;
    options.arguments = {"30", title};
    // Its toolkit publishes its widgets unless this says not to.
    options.environment = {"DBUS_SESSION_BUS_ADDRESS=" + address_, "NO_AT_BRIDGE"};
    options.input = Stream::kPipe;
    options.output = Stream::kPipe;
    auto receiver = std::make_unique<ChildProcess>(VRK_GTK_RECEIVER, options);
    EXPECT_EQ(receiver->ReadLine(), "shown");
    return receiver;
  }

  vrk_test::SavedVariables saved_{{"DBUS_SESSION_BUS_ADDRESS"}};
  std::unique_ptr<ChildProcess> bus_;
  std::string address_;
};

TEST_F(AccessibilityBusTest, ListsTopLevelWindowsByName) {
  auto receiver = StartReceiver("Trovane");
  ASSERT_TRUE(vrk_posix::AccessibilityBusAvailable());
  auto windows = vrk_posix::TopLevelWindows();
  ASSERT_TRUE(windows.has_value());
  ASSERT_EQ(windows->size(), 1u);
  EXPECT_EQ(windows->front().name, "Trovane");
  EXPECT_EQ(windows->front().application, "receiver.py");
  EXPECT_EQ(windows->front().processId, receiver->Id());
}

}  // namespace
