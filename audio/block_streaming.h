// Playback on the device: the looping output ring, the streaming thread that
// refills it behind the play position, and the flags the threads share.
#pragma once

#include <atomic>

#include "module/module.h"

namespace korvanthe {

// Set by the streaming thread while it renders a block; the first thread
// spins on it before tearing anything down.
extern std::atomic<bool> renderInProgress;

// Ends the streaming thread and releases the play buffers. First thread.
// Returns false for a null module.
bool stopModule(Module* module);

} // namespace korvanthe
