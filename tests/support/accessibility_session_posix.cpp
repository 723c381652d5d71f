#include "tests/support/accessibility_session.h"

#include <signal.h>

#include <cstdlib>
#include <stdexcept>

namespace vrk_test {

AccessibilitySession::AccessibilitySession() {
  // Xvfb picks a free display and tells its number once it takes connections. It must keep
  // what the bus launcher writes on its root window, as a desktop's display does: by default
  // it resets when its last client leaves, and the launcher, the first, leaves at once. Qt 5
  // reads the accessibility bus's address there as it starts and joins at once. Without it,
  // Qt 5 stays off the bus unless told to join; told, it asks the session bus for the address,
  // whose answer comes after its first turn of the event loop, where it registers with the
  // bus: that fails, and it never tries again.
  ChildOptions server;
  server.arguments = {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp",
                      "-noreset"};
  server.output = Stream::kPipe;
  server.error = Stream::kNull;
  display_ = std::make_unique<ChildProcess>("/usr/bin/Xvfb", server);
  const std::string number = display_->ReadLine();
  if (number.empty()) throw std::runtime_error("Xvfb did not start");
  const std::string display = "DISPLAY=:" + number;

  ChildOptions daemon;
  daemon.arguments = {"--session", "--nofork", "--print-address=1"};
  daemon.output = Stream::kPipe;
  daemon.error = Stream::kNull;
  // The daemon hands its environment to the bus launcher and registry it starts, which must
  // not take an earlier session's buses from it.
  daemon.environment = {display, "XDG_RUNTIME_DIR=" + runtime_.Path().string(),
                        "DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS"};
  bus_ = std::make_unique<ChildProcess>("/usr/bin/dbus-daemon", daemon);
  const std::string address = bus_->ReadLine();
  if (address.empty()) throw std::runtime_error("the session bus did not start");

  // Asking for the accessibility bus starts it, by bus activation. libatspi and GTK read its
  // address from the display's root window before they ask, and every launcher on the display
  // writes it there; named, it is this session's own.
  ChildOptions ask;
  ask.arguments = {"--session", "--print-reply=literal", "--dest=org.a11y.Bus", "/org/a11y/bus",
                   "org.a11y.Bus.GetAddress"};
  ask.output = Stream::kPipe;
  ask.environment = {display, "DBUS_SESSION_BUS_ADDRESS=" + address,
                     "XDG_RUNTIME_DIR=" + runtime_.Path().string()};
  std::string accessibility = ChildProcess("/usr/bin/dbus-send", ask).ReadLine();
  accessibility.erase(0, accessibility.find_first_not_of(' '));
  if (accessibility.empty()) throw std::runtime_error("the accessibility bus did not start");
  environment_ = {display, "DBUS_SESSION_BUS_ADDRESS=" + address,
                  "AT_SPI_BUS_ADDRESS=" + accessibility,
                  "XDG_RUNTIME_DIR=" + runtime_.Path().string()};
}

void AccessibilitySession::Join() const {
  for (const std::string& entry : environment_) {
    const std::size_t equals = entry.find('=');
    setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
  }
}

bool AccessibilitySessionPossible() {
  return std::system("test -x /usr/bin/Xvfb && test -x /usr/bin/dbus-daemon && "
                     "/usr/bin/python3 -c 'import gi; gi.require_version(\"Gtk\", \"3.0\")' "
                     "2>/dev/null") == 0;
}

bool QtReceiverPossible() {
  return std::system("/usr/bin/python3 -c 'import PyQt5.QtWidgets, PyQt5.QtDBus' 2>/dev/null") == 0;
}

Receiver::Receiver(const AccessibilitySession& session, const std::string& program,
                   const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment) {
  ChildOptions options;
  options.arguments = arguments;
  options.environment = session.Environment();
  options.environment.insert(options.environment.end(), environment.begin(), environment.end());
  options.input = Stream::kPipe;
  options.output = Stream::kPipe;
  options.error = Stream::kNull;
  process_ = std::make_unique<ChildProcess>(program, options);
  shown_ = process_->ReadLine() == "shown";
}

Receiver::~Receiver() {
  if (paused_) ::kill(static_cast<pid_t>(process_->Id()), SIGCONT);
  process_->CloseInput();
  process_->Stop();
}

std::vector<std::string> Receiver::Fields() {
  if (paused_) ::kill(static_cast<pid_t>(process_->Id()), SIGCONT);
  paused_ = false;
  process_->CloseInput();
  std::vector<std::string> lines;
  for (std::string line = process_->ReadLine(); line != "end" && !line.empty();
       line = process_->ReadLine()) {
    lines.push_back(line);
  }
  return lines;
}

void Receiver::Pause() {
  paused_ = ::kill(static_cast<pid_t>(process_->Id()), SIGSTOP) == 0;
}

namespace {

std::vector<std::string> ReceiverArguments(std::vector<std::string> arguments,
                                           const std::vector<std::string>& fields) {
  arguments.insert(arguments.end(), fields.begin(), fields.end());
  return arguments;
}

const char* KindName(QtWindow kind) {
  switch (kind) {
    case QtWindow::kMain:
      return "main";
    case QtWindow::kDialog:
      return "dialog";
    case QtWindow::kPlain:
      return "plain";
  }
  return "main";
}

}  // namespace

// Its toolkit publishes its widgets unless NO_AT_BRIDGE says not to.
GtkReceiver::GtkReceiver(const AccessibilitySession& session, const std::string& title,
                         const std::vector<std::string>& fields)
    : Receiver(session, VRK_GTK_RECEIVER, ReceiverArguments({"60", title}, fields),
               {"NO_AT_BRIDGE"}) {}

bool GtkReceiver::Reset() {
  return ::kill(static_cast<pid_t>(Process().Id()), SIGUSR1) == 0 &&
         Process().ReadLine() == "reset";
}

// On its own, as any Qt program of a desktop starts: without the switch that makes Qt publish
// itself whatever the bus says, on the X display.
QtReceiver::QtReceiver(const AccessibilitySession& session, QtWindow kind,
                       const std::string& title)
    : Receiver(session, VRK_QT_RECEIVER, {"60", KindName(kind), title},
               {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY"}) {}

}  // namespace vrk_test
