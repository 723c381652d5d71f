// The accessibility bus as the emulation reads it: a private session bus, on which the GTK
// receiving program publishes its window, read back through the dlopened libatspi.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/windows/accessibility_bus.h"
#include "tests/support/child_process.h"
#include "tests/support/eventually.h"
#include "tests/support/scratch_folder.h"

// libatspi keeps strings it copies with GLib while dispatching the bus's signals during a call;
// they are its own, not this code's. GLib has no frame pointers, so the leak checker of the
// sanitizer build sees only GLib on the stack; here only libatspi brings GLib in.
extern "C" const char* __lsan_default_suppressions() { return "leak:libglib-2.0.so\n"; }

namespace {

using vrk_test::ChildOptions;
using vrk_test::ChildProcess;
using vrk_test::Stream;

// A session bus of the suite's own, so that the host's programs and buses play no part; the
// accessibility bus is started on it by bus activation at the first ask. One for the whole
// program, as libatspi joins a bus once per process.
class AccessibilityBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == 0) GTEST_SKIP() << "GTK needs an X display";
    if (bus_) return;
    ChildOptions options;
    options.arguments = {"--session", "--nofork", "--print-address=1"};
    options.output = Stream::kPipe;
    options.error = Stream::kNull;
    // The launcher keeps the accessibility bus's socket in the runtime folder, named for the
    // display alone: suites run side by side on one display would take each other's.
    runtime_ = std::make_unique<vrk_test::ScratchFolder>();
    options.environment = {"XDG_RUNTIME_DIR=" + runtime_->Path().string()};
    bus_ = std::make_unique<ChildProcess>("/usr/bin/dbus-daemon", options);
    address_ = bus_->ReadLine();
    ASSERT_FALSE(address_.empty()) << "the session bus did not start";
    // Read once, when the emulation first loads libatspi.
    setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
    // libatspi and GTK take the accessibility bus from the display's root window before they
    // ask the session bus, and every launcher on the display writes it there; named here, this
    // process and the receiver use this suite's own. (The registry daemon still reads the
    // root window, hence one test at a time.)
    ChildOptions ask;
    ask.arguments = {"--session", "--print-reply=literal", "--dest=org.a11y.Bus",
                     "/org/a11y/bus", "org.a11y.Bus.GetAddress"};
    ask.output = Stream::kPipe;
    std::string accessibility = ChildProcess("/usr/bin/dbus-send", ask).ReadLine();
    accessibility.erase(0, accessibility.find_first_not_of(' '));
    ASSERT_FALSE(accessibility.empty()) << "the accessibility bus did not start";
    setenv("AT_SPI_BUS_ADDRESS", accessibility.c_str(), 1);
  }

  // The receiver, once its window is shown; it ends when its input closes.
  std::unique_ptr<ChildProcess> StartReceiver(const std::string& title) {
    // An earlier test's receiver may still be leaving the bus; two windows of one title would
    // leave it open which one is found.
    EXPECT_TRUE(vrk_test::Eventually([&] { return !vrk_posix::TextFields(title); }));
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

  // What the receiver's fields hold, as it prints them when its input ends.
  static std::vector<std::string> Held(ChildProcess& receiver) {
    receiver.CloseInput();
    std::vector<std::string> lines;
    for (std::string line = receiver.ReadLine(); line != "end" && !line.empty();
         line = receiver.ReadLine()) {
      lines.push_back(line);
    }
    return lines;
  }

  static inline std::unique_ptr<vrk_test::ScratchFolder> runtime_;
  static inline std::unique_ptr<ChildProcess> bus_;
  static inline std::string address_;
};

TEST_F(AccessibilityBusTest, ListsTopLevelWindowsByName) {
  auto receiver = StartReceiver("Trovane");
  ASSERT_TRUE(vrk_posix::AccessibilityBusAvailable());
  auto windows = vrk_posix::TopLevelWindows();
  ASSERT_TRUE(windows.has_value());
  auto own = std::find_if(windows->begin(), windows->end(), [&](const auto& window) {
    return window.processId == receiver->Id();
  });
  ASSERT_NE(own, windows->end());
  EXPECT_EQ(own->name, "Trovane");
  EXPECT_EQ(own->application, "receiver.py");
}

TEST_F(AccessibilityBusTest, ReadsTheWindowsTextFields) {
  auto receiver = StartReceiver("Trovane");
  auto fields = vrk_posix::TextFields("Trovane");
  ASSERT_TRUE(fields.has_value());
  ASSERT_EQ(fields->size(), 2u);
  EXPECT_EQ(fields->at(0).name, "jine");
  EXPECT_EQ(fields->at(0).text, "jine");
  EXPECT_EQ(fields->at(1).name, "Pocasi");
  EXPECT_EQ(fields->at(1).text, "Pocasi");
  EXPECT_FALSE(vrk_posix::TextFields("Jine okno").has_value());
}

TEST_F(AccessibilityBusTest, ReplacesOnlyTheNamedField) {
  auto receiver = StartReceiver("Trovane");
  EXPECT_TRUE(vrk_posix::ReplaceFieldText("Trovane", "Pocasi", "Slunečno, 21 °C"));
  EXPECT_FALSE(vrk_posix::ReplaceFieldText("Trovane", "Vitr", "x"));
  EXPECT_EQ(Held(*receiver),
            (std::vector<std::string>{"jine\tjine", "Pocasi\tSlunečno, 21 °C"}));
}

}  // namespace
