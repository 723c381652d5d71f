#include "platform/posix/windows/accessibility_bus.h"

#include <atspi/atspi.h>
#include <dlfcn.h>

#include <functional>

namespace vrk_posix {

namespace {

// A hung program makes every call on it wait; measured, each such call took twice this.
constexpr int kCallTimeoutMs = 500;
// Deeper than any form's nesting; bounds the walk should a tree loop.
constexpr int kMaxDepth = 32;

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
  gpointer (*objectRef)(gpointer);
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
      !Resolve(library, "g_object_ref", atspi.objectRef) ||
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

// Takes a string the library handed over.
std::optional<std::string> Take(const AtspiLibrary& atspi, gchar* text, GError*& error) {
  if (Failed(atspi, error) || text == nullptr) return std::nullopt;
  std::string result(text);
  atspi.free(text);
  return result;
}

std::optional<std::string> Name(const AtspiLibrary& atspi, AtspiAccessible* object) {
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

// Calls `visit` with each program and each of its top-level windows until it returns true;
// false when the desktop cannot be had.
bool ForEachWindow(const AtspiLibrary& atspi,
                   const std::function<bool(AtspiAccessible*, AtspiAccessible*)>& visit) {
  Held desktop(atspi, atspi.getDesktop(0));
  if (desktop.get() == nullptr) return false;
  int applications = ChildCount(atspi, desktop.get());
  for (int a = 0; a < applications; ++a) {
    Held application = Child(atspi, desktop.get(), a);
    if (application.get() == nullptr) continue;
    int count = ChildCount(atspi, application.get());
    for (int w = 0; w < count; ++w) {
      Held window = Child(atspi, application.get(), w);
      if (window.get() != nullptr && visit(application.get(), window.get())) return true;
    }
  }
  return true;
}

Held FindWindow(const AtspiLibrary& atspi, const std::string& windowName) {
  void* found = nullptr;
  ForEachWindow(atspi, [&](AtspiAccessible*, AtspiAccessible* window) {
    if (Name(atspi, window) != windowName) return false;
    found = atspi.objectRef(window);
    return true;
  });
  return Held(atspi, found);
}

bool IsTextField(const AtspiLibrary& atspi, AtspiAccessible* object) {
  GError* error = nullptr;
  AtspiRole role = atspi.getRole(object, &error);
  if (Failed(atspi, error)) return false;
  return role == ATSPI_ROLE_TEXT || role == ATSPI_ROLE_ENTRY;
}

// Calls `visit` with each text field under `parent`, depth first, until it returns true.
bool ForEachField(const AtspiLibrary& atspi, AtspiAccessible* parent, int depth,
                  const std::function<bool(AtspiAccessible*)>& visit) {
  if (depth > kMaxDepth) return false;
  int count = ChildCount(atspi, parent);
  for (int i = 0; i < count; ++i) {
    Held child = Child(atspi, parent, i);
    if (child.get() == nullptr) continue;
    if (IsTextField(atspi, child.get()) && visit(child.get())) return true;
    if (ForEachField(atspi, child.get(), depth + 1, visit)) return true;
  }
  return false;
}

std::optional<std::string> FieldText(const AtspiLibrary& atspi, AtspiAccessible* field) {
  Held text(atspi, atspi.getTextIface(field));
  if (text.raw() == nullptr) return std::nullopt;
  GError* error = nullptr;
  return Take(atspi, atspi.textGetText(static_cast<AtspiText*>(text.raw()), 0, -1, &error),
              error);
}

}  // namespace

bool AccessibilityBusAvailable() { return Atspi() != nullptr; }

std::optional<std::vector<AccessibleWindow>> TopLevelWindows() {
  const AtspiLibrary* atspi = Atspi();
  if (atspi == nullptr) return std::nullopt;
  std::vector<AccessibleWindow> windows;
  bool reached = ForEachWindow(*atspi, [&](AtspiAccessible* application, AtspiAccessible* window) {
    std::optional<std::string> applicationName = Name(*atspi, application);
    std::optional<std::string> name = Name(*atspi, window);
    GError* error = nullptr;
    guint processId = atspi->getProcessId(application, &error);
    if (!Failed(*atspi, error) && applicationName && name) {
      windows.push_back({*applicationName, *name, processId});
    }
    return false;
  });
  if (!reached) return std::nullopt;
  return windows;
}

std::optional<std::vector<AccessibleField>> TextFields(const std::string& windowName) {
  const AtspiLibrary* atspi = Atspi();
  if (atspi == nullptr) return std::nullopt;
  Held window = FindWindow(*atspi, windowName);
  if (window.get() == nullptr) return std::nullopt;
  std::vector<AccessibleField> fields;
  ForEachField(*atspi, window.get(), 0, [&](AtspiAccessible* field) {
    std::optional<std::string> name = Name(*atspi, field);
    std::optional<std::string> text = FieldText(*atspi, field);
    if (name && text) fields.push_back({*name, *text});
    return false;
  });
  return fields;
}

bool ReplaceFieldText(const std::string& windowName, const std::string& fieldName,
                      const std::string& text) {
  const AtspiLibrary* atspi = Atspi();
  if (atspi == nullptr) return false;
  Held window = FindWindow(*atspi, windowName);
  if (window.get() == nullptr) return false;
  bool replaced = false;
  ForEachField(*atspi, window.get(), 0, [&](AtspiAccessible* field) {
    if (Name(*atspi, field) != fieldName) return false;
    Held editable(*atspi, atspi->getEditableTextIface(field));
    if (editable.raw() != nullptr) {
      GError* error = nullptr;
      gboolean done = atspi->setTextContents(static_cast<AtspiEditableText*>(editable.raw()),
                                             text.c_str(), &error);
      replaced = !Failed(*atspi, error) && done;
    }
    return true;
  });
  return replaced;
}

}  // namespace vrk_posix
