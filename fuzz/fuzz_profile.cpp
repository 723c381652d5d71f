// A settings file of any bytes: parsing never crashes, an unedited file is written back
// byte for byte (a UTF-16 one too, held as UTF-8 meanwhile), and an edit keeps the edited
// value readable.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/posix/kernel/profile_document.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto document = vrk_posix::ProfileDocument::Parse(bytes);
  if (document.Serialize() != bytes) std::abort();
  document.SetValue("Main", "Port", "3128");
  auto edited = vrk_posix::ProfileDocument::Parse(document.Serialize());
  auto section = edited.FindSection("Main");
  if (!section) std::abort();
  auto key = edited.FindKey(*section, "Port");
  if (!key || edited.Lines()[*key].value != "3128") std::abort();
  return 0;
}
