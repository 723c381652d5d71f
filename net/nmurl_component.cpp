// TNMURL's lifetime: it owns nothing but its text.
#include "net/NMURL.h"

namespace vrk {

TNMURL::TNMURL(TComponent* owner) : TComponent(owner) {}

TNMURL::~TNMURL() = default;

}  // namespace vrk
