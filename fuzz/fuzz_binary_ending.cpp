// Whether a URL names a binary file (line 1: the list of endings; the rest: the URL). The
// ending is the URL's last four characters (all of a shorter URL); it is found exactly when
// it equals one of the blank-separated entries that the list's length reaches (entry N
// needs a length of 4N), and the default list finds exactly its own endings.
#include <cstdint>
#include <string_view>

#include "app/classify.h"
#include "fuzz/fuzz_support.h"

namespace {

using vrk::Text;

constexpr std::string_view kDefaultEndings = ".exe .zip .rar .dat .bmp .jpg jpeg .png .mp3 .ogg";

// True when `ending` is one of the entries 0 .. size/4 of the blank-separated list, entry 0
// being the empty text before it.
bool Listed(std::string_view ending, std::string_view list) {
  if (ending.empty()) return true;
  const std::size_t reach = list.size() / 4;
  for (std::size_t n = 1; n <= reach; ++n) {
    const std::size_t blank = list.find(' ');
    if (list.substr(0, blank) == ending) return true;
    if (blank == std::string_view::npos) return false;
    list.remove_prefix(blank + 1);
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vrk::fuzz::Fields input(data, size);
  const Text endings(input.Line());
  const Text url(input.Rest());

  const Text ending = vrk::UrlEnding(url);
  const std::size_t length = url.Length() < 4 ? url.Length() : 4;
  FUZZ_REQUIRE(ending.View() == url.View().substr(url.Length() - length));

  FUZZ_REQUIRE(vrk::IsBinaryUrl(url, endings) == Listed(ending.View(), endings.View()));
  // The empty ending of an empty URL equals entry 0.
  const bool known = ending.IsEmpty() || ending == ".exe" || ending == ".zip" || ending == ".rar" ||
                     ending == ".dat" || ending == ".bmp" || ending == ".jpg" || ending == "jpeg" ||
                     ending == ".png" || ending == ".mp3" || ending == ".ogg";
  FUZZ_REQUIRE(vrk::IsBinaryUrl(url, Text(kDefaultEndings)) == known);
  // Its own ending first in a list long enough always marks it.
  const Text first = ending + " " + endings;
  if (first.Length() >= 4) FUZZ_REQUIRE(vrk::IsBinaryUrl(url, first) || ending.Pos(" ") != 0);
  return 0;
}
