#pragma once

#include "platform/frmSplash.h"

namespace velmora {

// What every entry point does once the request is written: hourglass, splash shown and painted,
// the viewer loaded (its load step runs only when it is not loaded yet), shown non-modal and
// brought forward, splash unloaded, pointer back. While the rows arrive the splash says how many
// and offers Cancel. A velmora::Error from the customer search load reaches the caller, after the
// pointer and the splash are cleaned up.
void loadViewer();

} // namespace velmora
