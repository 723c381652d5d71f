// What the fuzz targets share: reading an input as newline-separated fields, and a check
// that stops the run naming the rule that broke.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "framework/text.h"

// Aborts with the condition's text, so that the crash report says which rule broke.
#define FUZZ_REQUIRE(condition)                                                    \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                \
    }                                                                              \
  } while (false)

namespace vrk::fuzz {

// An input read field by field; seed files stay readable text with one field a line.
class Fields {
 public:
  Fields(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  // The bytes up to the next line feed (which is dropped); the rest when there is none.
  std::string_view Line() {
    const std::size_t end = rest_.find('\n');
    const std::string_view line = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    return line;
  }
  // Everything not read yet, line feeds included.
  std::string_view Rest() {
    const std::string_view rest = rest_;
    rest_ = {};
    return rest;
  }
  bool AtEnd() const noexcept { return rest_.empty(); }

 private:
  std::string_view rest_;
};

inline bool StartsWith(const Text& text, const Text& prefix) {
  return text.View().starts_with(prefix.View());
}

inline bool EndsWith(const Text& text, const Text& suffix) {
  return text.View().ends_with(suffix.View());
}

}  // namespace vrk::fuzz
