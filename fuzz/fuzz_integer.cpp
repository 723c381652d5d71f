// Integer conversion on any text: it either fails with its message or gives a value
// whose decimal text converts back to the same value.
#include <cstdint>
#include <cstdlib>

#include "framework/exceptions.h"
#include "platform/text_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vrk::Text text(reinterpret_cast<const char*>(data), size);
  try {
    int value = vrk::StrToInt(text);
    if (vrk::StrToInt(vrk::IntToStr(value)) != value) std::abort();
  } catch (const vrk::EConvertError& error) {
    if (!(error.Message() == vrk::FormatText("'%s' is not a valid integer value", {text}))) {
      std::abort();
    }
  }
  return 0;
}
