// Serves the files of a folder over HTTP on 127.0.0.1 until SIGTERM or until its input closes.
//   vrk_http_fixture FOLDER [PORT] [--ignore-stdin]
// The first line on standard output is "PORT <n>", the port actually listened on.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string_view>

#include "tools/http_fixture/file_responder.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}

int Usage() {
  std::fprintf(stderr, "usage: vrk_http_fixture FOLDER [PORT] [--ignore-stdin]\n");
  return 2;
}

// Returns when a signal arrives or (unless ignored) standard input reaches its end.
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

}  // namespace

int main(int argc, char** argv) {
  std::filesystem::path folder;
  unsigned port = 0;
  bool watchInput = true;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--ignore-stdin") {
      watchInput = false;
    } else if (positional == 0) {
      folder = argument;
      ++positional;
    } else if (positional == 1) {
      const auto [end, error] =
          std::from_chars(argument.data(), argument.data() + argument.size(), port);
      if (error != std::errc() || end != argument.data() + argument.size() || port > 65535) {
        return Usage();
      }
      ++positional;
    } else {
      return Usage();
    }
  }
  std::error_code error;
  if (positional == 0 || !std::filesystem::is_directory(folder, error)) {
    if (positional > 0) std::fprintf(stderr, "vrk_http_fixture: not a folder: %s\n", folder.c_str());
    return Usage();
  }

  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  try {
    vrk::testing::ServerOptions options;
    options.port = static_cast<std::uint16_t>(port);
    const std::filesystem::path root = std::filesystem::absolute(folder);
    vrk::testing::ScriptedServer server(
        vrk::testing::ConnectionPlan::Http([root](const vrk::testing::HttpRequest& request) {
          return vrk::testing::AnswerFromFolder(root, request);
        }),
        options);
    std::printf("PORT %u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    WaitForTheEnd(watchInput);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "vrk_http_fixture: %s\n", failure.what());
    return 1;
  }
  return 0;
}
