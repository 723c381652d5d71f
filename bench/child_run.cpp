#include "bench/child_run.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <stdexcept>
#include <string_view>

#include "tests/support/child_process.h"

extern char** environ;

namespace vrk::bench {

namespace {

// The names of the inherited *_proxy variables, in any case.
std::vector<std::string> ProxyVariables() {
  std::vector<std::string> names;
  for (char** entry = environ; *entry; ++entry) {
    const std::string_view name = std::string_view(*entry).substr(0, std::string_view(*entry).find('='));
    constexpr std::string_view kSuffix = "_proxy";
    if (name.size() < kSuffix.size()) continue;
    const std::string_view tail = name.substr(name.size() - kSuffix.size());
    bool proxy = true;
    for (std::size_t i = 0; i < kSuffix.size(); ++i) {
      proxy = proxy && std::tolower(static_cast<unsigned char>(tail[i])) == kSuffix[i];
    }
    if (proxy) names.emplace_back(name);
  }
  return names;
}

}  // namespace

ChildResult Run(const std::vector<std::string>& command, double timeoutSeconds,
                const std::vector<std::string>& environment) {
  using vrk_test::Stream;
  ChildResult result;
  const auto start = std::chrono::steady_clock::now();
  vrk_test::ChildOptions options;
  options.arguments.assign(command.begin() + 1, command.end());
  options.environment = ProxyVariables();
  options.environment.insert(options.environment.end(), environment.begin(), environment.end());
  options.input = options.output = options.error = Stream::kNull;
  try {
    vrk_test::ChildProcess child(command[0], options);
    const auto code = child.Wait(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::duration<double>(timeoutSeconds)));
    if (!code) return result;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakKiB = child.MaxRssKiB();
    result.finished = *code == 0;
  } catch (const std::runtime_error&) {
    // Not started: not finished either.
  }
  return result;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace vrk::bench
