#include "app/entry.h"
#include "platform/winapi.h"

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return vrk::RunVrk(); }
#else
#include <csignal>

int main() {
  // A size limit or a reader that went away arrives as a failed write, never ends the run.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  return vrk::RunVrk();
}
#endif
