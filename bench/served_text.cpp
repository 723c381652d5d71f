#include "bench/served_text.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

namespace vrk::bench {

bool WriteText(const std::filesystem::path& path, std::uintmax_t size) {
  std::ofstream out(path, std::ios::binary);
  std::string chunk;
  for (int line = 0; chunk.size() < (1u << 20); ++line) {
    char text[64];
    std::snprintf(text, sizeof text, "line %07d of the text the benchmark fetches......\n", line);
    chunk += text;
  }
  chunk.resize(1u << 20);
  for (std::uintmax_t written = 0; written < size && out;) {
    const std::uintmax_t part = std::min<std::uintmax_t>(chunk.size(), size - written);
    out.write(chunk.data(), static_cast<std::streamsize>(part));
    written += part;
  }
  return static_cast<bool>(out.flush());
}

namespace {

// Any free port; the first line it prints names it.
vrk_test::ChildOptions Serving(const std::filesystem::path& folder) {
  vrk_test::ChildOptions options;
  options.arguments = {folder.string(), "0", "--ignore-stdin"};
  options.input = vrk_test::Stream::kNull;
  options.output = vrk_test::Stream::kPipe;
  return options;
}

}  // namespace

ServedFolder::ServedFolder(const std::string& fixture, const std::filesystem::path& folder)
    : server_(fixture, Serving(folder)) {
  const std::string line = server_.ReadLine(std::chrono::seconds(30));
  if (server_.Running() && line.rfind("PORT ", 0) == 0) {
    base_ = "http://127.0.0.1:" + line.substr(5) + "/";
  }
}

}  // namespace vrk::bench
