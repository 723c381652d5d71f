#include "tools/http_fixture/end_signal.h"

#ifdef _WIN32
#include <windows.h>

#include <thread>
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace vrk_test {

#ifdef _WIN32

namespace {
HANDLE endEvent = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD) {
  SetEvent(endEvent);
  return TRUE;
}
}  // namespace

bool PrepareForTheEnd() {
  endEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return endEvent != nullptr && SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void WaitForTheEnd(bool watchInput) {
  if (watchInput) {
    // A pipe cannot be waited on together with an event, so a thread reads it to its end;
    // it may still be blocked in the read when the process ends.
    std::thread([] {
      const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
      char discard[4096];
      DWORD got = 0;
      while (ReadFile(input, discard, sizeof discard, &got, nullptr) && got > 0) {
      }
      SetEvent(endEvent);
    }).detach();
  }
  WaitForSingleObject(endEvent, INFINITE);
}

#else

namespace {
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}
}  // namespace

bool PrepareForTheEnd() {
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  return true;
}

void WaitForTheEnd(bool watchInput) {
  for (;;) {
    pollfd fds[2] = {{signalPipe[0], POLLIN, 0}, {watchInput ? STDIN_FILENO : -1, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents != 0) return;
    if (fds[1].revents & POLLNVAL) return;
    if (fds[1].revents != 0) {
      char discard[4096];
      const ssize_t got = ::read(STDIN_FILENO, discard, sizeof discard);
      if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) return;
    }
  }
}

#endif

}  // namespace vrk_test
