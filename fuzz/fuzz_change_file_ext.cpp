// A new extension for any name (line 1: the extension; the rest: the name). The result is
// the name's stem followed by the extension, where the stem is the name without the part
// from its last "." after the last "\", ":" or "/" (the whole name when there is none);
// giving the same extension again changes nothing.
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/files.h"

namespace {

using vrk::Text;

constexpr std::string_view kSeparators = "\\:/";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vrk::fuzz::Fields input(data, size);
  const Text extension(input.Line());
  const Text name(input.Rest());

  const Text result = vrk::ChangeFileExt(name, extension);
  FUZZ_REQUIRE(vrk::fuzz::EndsWith(result, extension));
  const std::string_view stem = result.View().substr(0, result.Length() - extension.Length());
  FUZZ_REQUIRE(name.View().starts_with(stem));
  const std::string_view old = name.View().substr(stem.size());
  const std::size_t lastSeparator = name.View().find_last_of(kSeparators);
  const std::string_view file =
      lastSeparator == std::string_view::npos ? name.View() : name.View().substr(lastSeparator + 1);
  if (old.empty()) {
    FUZZ_REQUIRE(file.find('.') == std::string_view::npos);  // nothing to replace: appended
  } else {
    // Exactly the last dotted part of the file's own name went.
    FUZZ_REQUIRE(old.front() == '.' && old.size() <= file.size());
    FUZZ_REQUIRE(old.find_first_of(kSeparators) == std::string_view::npos);
    FUZZ_REQUIRE(old.find('.', 1) == std::string_view::npos);
  }
  FUZZ_REQUIRE(vrk::ChangeFileExt(name, "") == Text(stem));

  const std::string_view added = extension.View();
  if (added.starts_with('.') && added.find_first_of(kSeparators) == std::string_view::npos &&
      added.find('.', 1) == std::string_view::npos) {
    FUZZ_REQUIRE(vrk::ChangeFileExt(result, extension) == result);
  }
  return 0;
}
