// The names of the files a run writes beside a target before they take its name:
// ".NAME.PID-N.tmp". The process number in it tells a later run whether the writer still runs,
// so that what a killed run left can be removed, and never a file of a run still at work.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vrk::temporary_names {

// The longest name a folder entry may have on the systems the tool runs on.
constexpr std::size_t kLongestName = 255;
// What the target's own name keeps at most: room is left for the dots, two numbers of ten
// digits, the dash and ".tmp".
constexpr std::size_t kLongestBase = kLongestName - 27;

inline std::string_view Fitted(std::string_view base) {
  return base.size() > kLongestBase ? base.substr(0, kLongestBase) : base;
}

// The name (without folder) for the target's own name `base`, process `process`, number `n`;
// a long `base` is cut, so that the name fits whatever the target's length.
inline std::string Make(std::string_view base, std::uint32_t process, std::uint32_t n) {
  base = Fitted(base);
  std::string name;
  name.reserve(base.size() + 32);
  name += '.';
  name += base;
  name += '.';
  name += std::to_string(process);
  name += '-';
  name += std::to_string(n);
  name += ".tmp";
  return name;
}

// The writer's process number when `entry` is such a name for `base`; nothing for any other
// name, so that no file of the user's is ever taken for one.
inline std::optional<std::uint32_t> Writer(std::string_view entry, std::string_view base) {
  base = Fitted(base);
  constexpr std::string_view kEnd = ".tmp";
  if (entry.size() < base.size() + 2 + kEnd.size() || entry[0] != '.' ||
      entry.substr(1, base.size()) != base || entry[base.size() + 1] != '.' ||
      !entry.ends_with(kEnd)) {
    return std::nullopt;
  }
  const std::string_view middle =
      entry.substr(base.size() + 2, entry.size() - base.size() - 2 - kEnd.size());
  const std::size_t dash = middle.find('-');
  if (dash == std::string_view::npos || dash == 0 || dash + 1 == middle.size()) return std::nullopt;
  for (const char c : middle) {
    if (c != '-' && (c < '0' || c > '9')) return std::nullopt;
  }
  if (middle.find('-', dash + 1) != std::string_view::npos) return std::nullopt;
  std::uint32_t process = 0;
  const auto [end, error] = std::from_chars(middle.data(), middle.data() + dash, process);
  if (error != std::errc() || end != middle.data() + dash || process == 0) return std::nullopt;
  return process;
}

}  // namespace vrk::temporary_names
