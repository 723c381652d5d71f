#include "app/entry.h"

#include <exception>

#include "app/Unit1.h"
#include "framework/application.h"

namespace vrk {

int RunVrk() {
  try {
    // First: the title needs no memory, so even a report of memory running out at once has it.
    Application->SetTitle("VRK");
    Application->Initialize();
    Application->CreateForm(Main);
    Application->Run();
  } catch (...) {
    Application->HandleException(std::current_exception());
  }
  return 0;
}

}  // namespace vrk
