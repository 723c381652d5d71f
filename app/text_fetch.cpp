// Text fetch and delivery.
#include "app/Unit1.h"

namespace vrk {

void TMain::FetchText() {}

}  // namespace vrk
