#pragma once

#include "core/result.h"

#include <functional>

namespace velmora {

// Tells the user why the viewer's load step stopped: one message box chosen by the engine's own
// messages (server out of reach, no engine message, other engine messages), then the pointer
// back to normal and the splash gone. The viewer keeps whatever was set up before the failure.
void reportLoadFailure(const Failure &failure);

// Where a program without a user (the headless report tool) takes the load step's failures
// instead of the message box; the pointer and the splash are dealt with as before. An empty
// handler puts the box back.
void setLoadFailureHandler(std::function<void(const Failure &)> handler);

} // namespace velmora
