#include "platform/posix/windows/accessibility_bus.h"

#include <atspi/atspi.h>
#include <dlfcn.h>

namespace vrk_posix {

namespace {

// A hung program makes every call on it wait; measured, each such call took twice this.
constexpr int kCallTimeoutMs = 500;

struct AtspiLibrary {
  int (*init)();
  void (*setTimeout)(gint, gint);
  AtspiAccessible* (*getDesktop)(gint);
  gint (*getChildCount)(AtspiAccessible*, GError**);
  AtspiAccessible* (*getChildAtIndex)(AtspiAccessible*, gint, GError**);
  AtspiRole (*getRole)(AtspiAccessible*, GError**);
  gchar* (*getName)(AtspiAccessible*, GError**);
  guint (*getProcessId)(AtspiAccessible*, GError**);
  AtspiText* (*getTextIface)(AtspiAccessible*);
  gchar* (*textGetText)(AtspiText*, gint, gint, GError**);
  AtspiEditableText* (*getEditableTextIface)(AtspiAccessible*);
  gboolean (*setTextContents)(AtspiEditableText*, const gchar*, GError**);
  // From GLib and GObject, which libatspi brings in; found through its handle.
  void (*objectUnref)(gpointer);
  void (*free)(gpointer);
  void (*errorFree)(GError*);
};

template <typename Function>
bool Resolve(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  return function != nullptr;
}

const AtspiLibrary* Load() {
  void* library = ::dlopen("libatspi.so.0", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  static AtspiLibrary atspi{};
  if (!Resolve(library, "atspi_init", atspi.init) ||
      !Resolve(library, "atspi_set_timeout", atspi.setTimeout) ||
      !Resolve(library, "atspi_get_desktop", atspi.getDesktop) ||
      !Resolve(library, "atspi_accessible_get_child_count", atspi.getChildCount) ||
      !Resolve(library, "atspi_accessible_get_child_at_index", atspi.getChildAtIndex) ||
      !Resolve(library, "atspi_accessible_get_role", atspi.getRole) ||
      !Resolve(library, "atspi_accessible_get_name", atspi.getName) ||
      !Resolve(library, "atspi_accessible_get_process_id", atspi.getProcessId) ||
      !Resolve(library, "atspi_accessible_get_text_iface", atspi.getTextIface) ||
      !Resolve(library, "atspi_text_get_text", atspi.textGetText) ||
      !Resolve(library, "atspi_accessible_get_editable_text_iface", atspi.getEditableTextIface) ||
      !Resolve(library, "atspi_editable_text_set_text_contents", atspi.setTextContents) ||
      !Resolve(library, "g_object_unref", atspi.objectUnref) ||
      !Resolve(library, "g_free", atspi.free) ||
      !Resolve(library, "g_error_free", atspi.errorFree)) {
    ::dlclose(library);
    return nullptr;
  }
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

// An accessible object held for one scope.
class Held {
 public:
  Held(const AtspiLibrary& atspi, AtspiAccessible* object) : atspi_(atspi), object_(object) {}
  ~Held() {
    if (object_ != nullptr) atspi_.objectUnref(object_);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  AtspiAccessible* get() const { return object_; }

 private:
  const AtspiLibrary& atspi_;
  AtspiAccessible* object_;
};

// Drops a call's error, telling whether there was one.
bool Failed(const AtspiLibrary& atspi, GError*& error) {
  if (error == nullptr) return false;
  atspi.errorFree(error);
  error = nullptr;
  return true;
}

std::optional<std::string> Name(const AtspiLibrary& atspi, AtspiAccessible* object) {
  GError* error = nullptr;
  gchar* name = atspi.getName(object, &error);
  if (Failed(atspi, error) || name == nullptr) return std::nullopt;
  std::string result(name);
  atspi.free(name);
  return result;
}

int ChildCount(const AtspiLibrary& atspi, AtspiAccessible* object) {
  GError* error = nullptr;
  gint count = atspi.getChildCount(object, &error);
  return Failed(atspi, error) || count < 0 ? 0 : count;
}

}  // namespace

bool AccessibilityBusAvailable() { return Atspi() != nullptr; }

std::optional<std::vector<AccessibleWindow>> TopLevelWindows() {
  const AtspiLibrary* atspi = Atspi();
  if (atspi == nullptr) return std::nullopt;
  Held desktop(*atspi, atspi->getDesktop(0));
  if (desktop.get() == nullptr) return std::nullopt;
  std::vector<AccessibleWindow> windows;
  int applications = ChildCount(*atspi, desktop.get());
  for (int a = 0; a < applications; ++a) {
    GError* error = nullptr;
    Held application(*atspi, atspi->getChildAtIndex(desktop.get(), a, &error));
    if (Failed(*atspi, error) || application.get() == nullptr) continue;
    std::optional<std::string> applicationName = Name(*atspi, application.get());
    if (!applicationName) continue;
    guint processId = atspi->getProcessId(application.get(), &error);
    if (Failed(*atspi, error)) continue;
    int count = ChildCount(*atspi, application.get());
    for (int w = 0; w < count; ++w) {
      Held window(*atspi, atspi->getChildAtIndex(application.get(), w, &error));
      if (Failed(*atspi, error) || window.get() == nullptr) continue;
      if (std::optional<std::string> name = Name(*atspi, window.get())) {
        windows.push_back({*applicationName, *name, processId});
      }
    }
  }
  return windows;
}

}  // namespace vrk_posix
