// A registry export of any bytes: parsing never crashes or hangs.
#include <cstdint>
#include <string_view>

#include "platform/posix/registry/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto document = vrk_posix::ParseRegistryFile(
      std::string_view(reinterpret_cast<const char*>(data), size));
  document.FindKey("Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings");
  return 0;
}
