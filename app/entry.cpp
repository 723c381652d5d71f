#include "app/entry.h"

#include <exception>

#include "app/Unit1.h"
#include "framework/application.h"

namespace vrk {

int RunVrk() {
  try {
    Application->Initialize();
    Application->SetTitle("VRK");
    Application->CreateForm(Main);
    Application->Run();
  } catch (...) {
    Application->HandleException(std::current_exception());
  }
  return 0;
}

}  // namespace vrk
