#pragma once

#include "core/result.h"

namespace velmora {

// Tells the user why the viewer's load step stopped: one message box chosen by the engine's own
// messages (server out of reach, no engine message, other engine messages), then the pointer
// back to normal and the splash gone. The viewer keeps whatever was set up before the failure.
void reportLoadFailure(const Failure &failure);

} // namespace velmora
