// Any bytes through the stream encoder (line 1: "u" for UU lines, anything else for
// Base64; the rest: the bytes). Every 45 bytes make one CR LF ended line, UU lines start
// with their byte count and end with the "`" line, Base64 lines are padded with "=", and
// decoding the lines gives the bytes back; both streams are left where the encoder says.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/streams.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/sextet_lines.h"
#include "net/NMUUE.h"

namespace {

constexpr std::string_view kMime =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kUU =
    "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
constexpr std::size_t kBlock = vrk::TNMUUProcessor::kBlockSize;

// The bytes of the Base64 lines; only the last may hold fewer than a full block.
std::string DecodedMime(const std::vector<std::string_view>& lines) {
  std::string bytes;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    FUZZ_REQUIRE(line.size() % 4 == 0 && !line.empty());
    for (int padding = 0; padding < 2 && line.ends_with('='); ++padding) line.remove_suffix(1);
    const std::size_t before = bytes.size();
    vrk::fuzz::AppendDecodedSextets(line, kMime, bytes);
    FUZZ_REQUIRE(i + 1 == lines.size() ? bytes.size() - before <= kBlock
                                       : bytes.size() - before == kBlock);
  }
  return bytes;
}

// The bytes of the UU lines: each starts with its count, the last is the empty "`" line.
std::string DecodedUU(const std::vector<std::string_view>& lines) {
  FUZZ_REQUIRE(!lines.empty() && lines.back() == "`");
  std::string bytes;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    const std::string_view line = lines[i];
    FUZZ_REQUIRE(!line.empty());
    const std::size_t count = kUU.find(line.front());
    FUZZ_REQUIRE(count >= 1 && count <= kBlock && (count == kBlock || i + 2 == lines.size()));
    const std::size_t before = bytes.size();
    vrk::fuzz::AppendDecodedSextets(line.substr(1), kUU, bytes);
    FUZZ_REQUIRE(bytes.size() - before == count);
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vrk::fuzz::Fields input(data, size);
  const bool uu = input.Line() == "u";
  const std::string_view bytes = input.Rest();

  vrk::TMemoryStream source;
  source.WriteBuffer(bytes.data(), static_cast<std::int32_t>(bytes.size()));  // left at its end
  vrk::TMemoryStream target;
  vrk::TNMUUProcessor encoder(nullptr);
  encoder.Method = uu ? vrk::uuCode : vrk::uuMime;
  encoder.InputStream = &source;
  encoder.OutputStream = &target;
  int begun = 0;
  int ended = 0;
  encoder.OnBeginEncode = [&](vrk::TObject*) { ++begun; };
  encoder.OnEndEncode = [&](vrk::TObject*) { ++ended; };
  encoder.Encode();

  FUZZ_REQUIRE(begun == 1 && ended == 1);
  FUZZ_REQUIRE(target.Position() == 0 && source.Position() == source.Size());
  const std::string_view encoded(target.Memory(), static_cast<std::size_t>(target.Size()));
  const auto lines = vrk::fuzz::CrLfLines(encoded);
  FUZZ_REQUIRE(lines.size() == (bytes.size() + kBlock - 1) / kBlock + (uu ? 1 : 0));
  FUZZ_REQUIRE((uu ? DecodedUU(lines) : DecodedMime(lines)) == bytes);
  return 0;
}
