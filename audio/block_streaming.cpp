#include "audio/block_streaming.h"

namespace korvanthe {

std::atomic<bool> renderInProgress{false};

// Nothing can be playing yet: no thread renders, so there is nothing to stop.
bool stopModule(Module* module) { return module != nullptr; }

} // namespace korvanthe
