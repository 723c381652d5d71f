#include "platform/shell.h"

namespace vrk {

void ShellOpen(HWND owner, const Text& fileName) {
  ShellExecuteA(owner, "open", fileName.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace vrk
