// A desktop of the caller's own: a virtual display, a session bus and the accessibility bus on
// them, and the GTK receiving program (tools/gtk_receiver) publishing its window there: what
// deliveries into another program are tested and measured against on Linux. Its own display
// keeps its clipboard and the bus's address (written on the display's root window) from
// every other test's. POSIX only.
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

class GtkReceiver {
 public:
  // Its window once shown; Shown() tells whether it came.
  GtkReceiver(const AccessibilitySession& session, const std::string& title,
              const std::vector<std::string>& fields = {"jine", "Pocasi"});
  ~GtkReceiver();

  bool Shown() const { return shown_; }
  unsigned long Id() const { return process_->Id(); }
  // What its fields hold, "NAME<TAB>TEXT" each; it closes once it has told them.
  std::vector<std::string> Fields();
  // Stops it answering anything, as a hung program; resumed when it is closed.
  void Pause();
  // Puts each field's name back as its text; false when it did not say so.
  bool Reset();

 private:
  std::unique_ptr<ChildProcess> process_;
  bool shown_ = false;
  bool paused_ = false;
};

}  // namespace vrk_test
