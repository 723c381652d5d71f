#include "platform/posix/windows/accessibility_bus.h"

#include <atspi/atspi.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <utility>

namespace vrk_posix {

namespace {

// A hung program makes every call on it wait; measured, each such call took twice this.
constexpr int kCallTimeoutMs = 500;
// Deeper than any form's nesting, and more widgets than any window holds: they bound the walk
// should a tree loop or a program publish without end.
constexpr int kMaxDepth = 32;
constexpr int kMaxDescendants = 20000;
// A walk through a large tree of a slow program ends here, as one that does not answer would.
constexpr std::chrono::seconds kMaxWalk{5};

struct AtspiLibrary {
  int (*init)();
  void (*setTimeout)(gint, gint);
  AtspiAccessible* (*getDesktop)(gint);
  gint (*getChildCount)(AtspiAccessible*, GError**);
  AtspiAccessible* (*getChildAtIndex)(AtspiAccessible*, gint, GError**);
  gchar* (*getName)(AtspiAccessible*, GError**);
  AtspiText* (*getTextIface)(AtspiAccessible*);
  gchar* (*textGetText)(AtspiText*, gint, gint, GError**);
  AtspiEditableText* (*getEditableTextIface)(AtspiAccessible*);
  gboolean (*setTextContents)(AtspiEditableText*, const gchar*, GError**);
  gchar* (*makeValidUtf8)(const gchar*, gssize);
  // From GLib and GObject, which libatspi brings in; found through its handle.
  gpointer (*objectRef)(gpointer);
  void (*objectUnref)(gpointer);
  void (*free)(gpointer);
  void (*errorFree)(GError*);
  GLogFunc (*setDefaultLogHandler)(GLogFunc, gpointer);
};

template <typename Function>
bool Resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  return function != nullptr;
}

// libdbus starts a session bus of its own through the display when none is named, and leaves
// it running; a run outside any session looks no further instead.
bool SessionNamed() {
  for (const char* name : {"AT_SPI_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != 0) return true;
  }
  // The user's bus where a session manager keeps it without naming it.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat status {};
  return runtime != nullptr && *runtime != 0 &&
         ::stat((std::string(runtime) + "/bus").c_str(), &status) == 0 && S_ISSOCK(status.st_mode);
}

const AtspiLibrary* Load() {
  if (!SessionNamed()) return nullptr;
  void* library = ::dlopen("libatspi.so.0", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  static AtspiLibrary atspi{};
  if (!Resolve(library, "atspi_init", atspi.init) ||
      !Resolve(library, "atspi_set_timeout", atspi.setTimeout) ||
      !Resolve(library, "atspi_get_desktop", atspi.getDesktop) ||
      !Resolve(library, "atspi_accessible_get_child_count", atspi.getChildCount) ||
      !Resolve(library, "atspi_accessible_get_child_at_index", atspi.getChildAtIndex) ||
      !Resolve(library, "atspi_accessible_get_name", atspi.getName) ||
      !Resolve(library, "atspi_accessible_get_text_iface", atspi.getTextIface) ||
      !Resolve(library, "atspi_text_get_text", atspi.textGetText) ||
      !Resolve(library, "atspi_accessible_get_editable_text_iface", atspi.getEditableTextIface) ||
      !Resolve(library, "atspi_editable_text_set_text_contents", atspi.setTextContents) ||
      !Resolve(library, "g_utf8_make_valid", atspi.makeValidUtf8) ||
      !Resolve(library, "g_object_ref", atspi.objectRef) ||
      !Resolve(library, "g_object_unref", atspi.objectUnref) ||
      !Resolve(library, "g_free", atspi.free) ||
      !Resolve(library, "g_error_free", atspi.errorFree) ||
      !Resolve(library, "g_log_set_default_handler", atspi.setDefaultLogHandler)) {
    ::dlclose(library);
    return nullptr;
  }
  // The library warns on the standard error of a bus that does not answer; the tool's own
  // messages go there too, and a missing program is no error of the tool's.
  atspi.setDefaultLogHandler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
  // 0 when it joined the bus now; 1 when something in the process had already done it.
  if (atspi.init() > 1) return nullptr;
  atspi.setTimeout(kCallTimeoutMs, kCallTimeoutMs);
  // Kept loaded: it has joined the bus and runs its own main-loop sources.
  return &atspi;
}

const AtspiLibrary* Atspi() {
  static const AtspiLibrary* const atspi = Load();
  return atspi;
}

// A reference to a library object (accessible or interface), dropped with the scope.
class Held {
 public:
  Held(const AtspiLibrary& atspi, void* object) : atspi_(&atspi), object_(object) {}
  ~Held() {
    if (object_ != nullptr) atspi_->objectUnref(object_);
  }
  Held(Held&& other) noexcept : atspi_(other.atspi_), object_(other.object_) {
    other.object_ = nullptr;
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  Held& operator=(Held&&) = delete;
  AtspiAccessible* get() const { return static_cast<AtspiAccessible*>(object_); }
  void* raw() const { return object_; }
  // Hands the reference over to the caller.
  void* Release() { return std::exchange(object_, nullptr); }

 private:
  const AtspiLibrary* atspi_;
  void* object_;
};

// Drops a call's error, telling whether there was one.
bool Failed(const AtspiLibrary& atspi, GError*& error) {
  if (error == nullptr) return false;
  atspi.errorFree(error);
  error = nullptr;
  return true;
}

// Takes a string the library handed over; empty when the call failed.
std::string Take(const AtspiLibrary& atspi, gchar* text, GError*& error) {
  std::string result;
  if (!Failed(atspi, error) && text != nullptr) result = text;
  atspi.free(text);
  return result;
}

std::string Name(const AtspiLibrary& atspi, AtspiAccessible* object) {
  GError* error = nullptr;
  return Take(atspi, atspi.getName(object, &error), error);
}

int ChildCount(const AtspiLibrary& atspi, AtspiAccessible* object) {
  GError* error = nullptr;
  gint count = atspi.getChildCount(object, &error);
  return Failed(atspi, error) || count < 0 ? 0 : count;
}

Held Child(const AtspiLibrary& atspi, AtspiAccessible* parent, int index) {
  GError* error = nullptr;
  AtspiAccessible* child = atspi.getChildAtIndex(parent, index, &error);
  if (Failed(atspi, error)) child = nullptr;
  return Held(atspi, child);
}

struct WalkBudget {
  int objects = kMaxDescendants;
  std::chrono::steady_clock::time_point end = std::chrono::steady_clock::now() + kMaxWalk;
  bool spent = false;
  bool Spend() {
    spent = spent || --objects < 0 || std::chrono::steady_clock::now() > end;
    return spent;
  }
};

// Depth first, each object before its children; false once `visit` or a bound stopped it.
bool Walk(const AtspiLibrary& atspi, AtspiAccessible* parent, int depth, WalkBudget& budget,
          const std::function<bool(BusObject)>& visit) {
  if (depth > kMaxDepth) return true;
  int count = ChildCount(atspi, parent);
  for (int i = 0; i < count; ++i) {
    if (budget.Spend()) return false;
    Held child = Child(atspi, parent, i);
    if (child.get() == nullptr) continue;
    if (!visit(child.raw())) return false;
    if (!Walk(atspi, child.get(), depth + 1, budget, visit)) return false;
  }
  return true;
}

AtspiAccessible* Object(BusObject object) { return static_cast<AtspiAccessible*>(object); }

}  // namespace

std::vector<BusObject> BusTopLevelWindows() {
  std::vector<BusObject> windows;
  const AtspiLibrary* atspi = Atspi();
  if (atspi == nullptr) return windows;
  Held desktop(*atspi, atspi->getDesktop(0));
  if (desktop.get() == nullptr) return windows;
  const int programs = ChildCount(*atspi, desktop.get());
  for (int p = 0; p < programs; ++p) {
    Held program = Child(*atspi, desktop.get(), p);
    if (program.get() == nullptr) continue;
    // Whatever role a toolkit gives it: Qt publishes a bare widget as a filler.
    const int count = ChildCount(*atspi, program.get());
    for (int w = 0; w < count; ++w) {
      Held window = Child(*atspi, program.get(), w);
      if (window.get() != nullptr) windows.push_back(window.Release());
    }
  }
  return windows;
}

bool ForEachBusDescendant(BusObject window, const std::function<bool(BusObject)>& visit) {
  const AtspiLibrary* atspi = Atspi();
  if (atspi == nullptr || window == nullptr) return true;
  WalkBudget budget;
  return Walk(*atspi, Object(window), 0, budget, visit) || budget.spent;
}

BusObject RetainBusObject(BusObject object) {
  const AtspiLibrary* atspi = Atspi();
  return atspi != nullptr && object != nullptr ? atspi->objectRef(object) : nullptr;
}

void ReleaseBusObject(BusObject object) {
  const AtspiLibrary* atspi = Atspi();
  if (atspi != nullptr && object != nullptr) atspi->objectUnref(object);
}

std::string BusObjectText(BusObject object, int maxCharacters) {
  const AtspiLibrary* atspi = Atspi();
  if (atspi == nullptr || object == nullptr) return {};
  // A field is known by its editable text; labels show text too, but as their name.
  Held editable(*atspi, atspi->getEditableTextIface(Object(object)));
  if (editable.raw() == nullptr) return Name(*atspi, Object(object));
  Held text(*atspi, atspi->getTextIface(Object(object)));
  if (text.raw() == nullptr) return {};
  GError* error = nullptr;
  return Take(*atspi,
              atspi->textGetText(static_cast<AtspiText*>(text.raw()), 0, maxCharacters, &error),
              error);
}

bool ReplaceBusText(BusObject object, const char* text) {
  const AtspiLibrary* atspi = Atspi();
  if (atspi == nullptr || object == nullptr) return false;
  Held editable(*atspi, atspi->getEditableTextIface(Object(object)));
  if (editable.raw() == nullptr) return false;
  // The bus carries UTF-8 alone: its library ends the process on any other string.
  gchar* valid = atspi->makeValidUtf8(text != nullptr ? text : "", -1);
  GError* error = nullptr;
  const gboolean done =
      atspi->setTextContents(static_cast<AtspiEditableText*>(editable.raw()), valid, &error);
  atspi->free(valid);
  return !Failed(*atspi, error) && done;
}

}  // namespace vrk_posix
