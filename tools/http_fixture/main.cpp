// Serves the files of a folder over HTTP on 127.0.0.1 until it is asked to end (SIGTERM,
// Ctrl+C) or until its input closes.
//   vrk_http_fixture FOLDER [PORT] [--ignore-stdin]
// The first line on standard output is "PORT <n>", the port actually listened on.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string_view>

#include "tools/http_fixture/end_signal.h"
#include "tools/http_fixture/file_responder.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: vrk_http_fixture FOLDER [PORT] [--ignore-stdin]\n");
  return 2;
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
    if (positional > 0) {
      std::fprintf(stderr, "vrk_http_fixture: not a folder: %s\n", folder.string().c_str());
    }
    return Usage();
  }

  if (!vrk_test::PrepareForTheEnd()) return 1;

  try {
    vrk_test::ServerOptions options;
    options.port = static_cast<std::uint16_t>(port);
    const std::filesystem::path root = std::filesystem::absolute(folder);
    vrk_test::ScriptedServer server(
        vrk_test::ConnectionPlan::Http([root](const vrk_test::HttpRequest& request) {
          return vrk_test::AnswerFromFolder(root, request);
        }),
        options);
    std::printf("PORT %u\n", static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    vrk_test::WaitForTheEnd(watchInput);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "vrk_http_fixture: %s\n", failure.what());
    return 1;
  }
  return 0;
}
