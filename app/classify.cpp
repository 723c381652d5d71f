#include "app/classify.h"

#include "platform/text_rules.h"

namespace vrk {

Text UrlEnding(const Text& url) {
  long length = static_cast<long>(url.Length());
  return url.Sub(length - 3, 4);
}

bool IsBinaryUrl(const Text& url, const Text& binaryEndings) {
  Text ending = UrlEnding(url);
  long last = static_cast<long>(binaryEndings.Length() / 4);
  for (long i = 0; i <= last; ++i) {
    if (SameBytes(Field(binaryEndings, ' ', i), ending)) return true;
  }
  return false;
}

}  // namespace vrk
