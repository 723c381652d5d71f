// A desktop of the caller's own: a virtual display, a session bus and the accessibility bus on
// them, and the GTK and Qt receiving programs (tools/gtk_receiver, tools/qt_receiver)
// publishing their windows there: what deliveries into another program are tested and
// measured against on Linux. Its own display keeps its clipboard and the bus's address
// (written on the display's root window) from every other test's. POSIX only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scratch_folder.h"

namespace vrk_test {

class AccessibilitySession {
 public:
  // Throws std::runtime_error when the display or either bus does not start.
  AccessibilitySession();

  // "NAME=value" entries that put a child on this display and these buses.
  const std::vector<std::string>& Environment() const { return environment_; }
  // Puts this process, and the children it starts, on them; to be done before the emulation
  // first loads its bus library.
  void Join() const;

 private:
  // The launcher keeps the accessibility bus's socket in the runtime folder, named for the
  // display alone, so each session has a folder of its own.
  ScratchFolder runtime_;
  std::unique_ptr<ChildProcess> display_;
  std::unique_ptr<ChildProcess> bus_;
  std::vector<std::string> environment_;
};

// Whether the session can be had here: Xvfb, the bus daemons and GTK for Python.
bool AccessibilitySessionPossible();

// Whether the Qt receiving program can run here: Qt 5 for Python.
bool QtReceiverPossible();

// A receiving program on the session's desktop: a window with text fields, each named and
// filled with its name, on the bus once Shown().
class Receiver {
 public:
  ~Receiver();
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  // Whether its window came and is on the bus.
  bool Shown() const { return shown_; }
  unsigned long Id() const { return process_->Id(); }
  // What its fields hold, "NAME<TAB>TEXT" each; it closes once it has told them.
  std::vector<std::string> Fields();
  // Stops it answering anything, as a hung program; resumed when it is closed.
  void Pause();

 protected:
  // Starts `program` with `arguments` and waits for its window; `environment` adds to the
  // session's.
  Receiver(const AccessibilitySession& session, const std::string& program,
           const std::vector<std::string>& arguments, const std::vector<std::string>& environment);
  ChildProcess& Process() { return *process_; }

 private:
  std::unique_ptr<ChildProcess> process_;
  bool shown_ = false;
  bool paused_ = false;
};

class GtkReceiver : public Receiver {
 public:
  GtkReceiver(const AccessibilitySession& session, const std::string& title,
              const std::vector<std::string>& fields = {"jine", "Pocasi"});
  // Puts each field's name back as its text; false when it did not say so.
  bool Reset();
};

// What the Qt receiver's window is: Qt publishes them as a frame, a dialog and a filler.
enum class QtWindow { kMain, kDialog, kPlain };

class QtReceiver : public Receiver {
 public:
  QtReceiver(const AccessibilitySession& session, QtWindow kind,
             const std::string& title = "Trovane");
};

}  // namespace vrk_test
