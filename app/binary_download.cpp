// Binary download and replacement.
#include "app/Unit1.h"

namespace vrk {

void TMain::DownloadBinary() {}

}  // namespace vrk
