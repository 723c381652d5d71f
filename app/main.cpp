#include "app/entry.h"
#include "platform/winapi.h"

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return vrk::RunVrk(); }
#else
#include <csignal>

#include "platform/posix/kernel/process_arguments.h"
#include "platform/posix/kernel/standard_streams.h"

int main(int argc, char** argv) {
  // Before anything opens a descriptor: none of the tool's files may become its output.
  vrk_posix::OpenClosedStandardStreams();
  // The command line comes from these, which cannot fail to be read as a file can.
  vrk_posix::SetProcessArguments(argc, argv);
  // A size limit or a reader that went away arrives as a failed write, never ends the run.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  return vrk::RunVrk();
}
#endif
