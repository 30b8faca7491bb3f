// Where a voice meets its loop boundary, and what its loop does there.
#pragma once

#include <cstdint>

#include "audio/mixer.h"

namespace korvanthe::mixer {

// Frames in a pass and whether its end reaches the boundary.
struct PassLength {
    int32_t frames;
    bool reachesBoundary;
};

// The pass from `position` (32.32) towards the boundary in the voice's
// direction, at most framesLeft frames. step is the unsigned step;
// signedStep the one added per frame (negated moving backward).
PassLength findBoundary(const Voice& voice, uint64_t position, uint64_t step, uint64_t signedStep,
                        int32_t framesLeft);

// Handles the boundary a pass reached: wraps or turns the position by the
// loop type and stores it, or ends the voice (null sample, position 0) and
// returns false.
bool handleBoundary(Voice& voice, uint64_t& position);

// The voice's 32.32 position as one value, and stored back.
inline uint64_t packPosition(const Voice& voice) {
    return (uint64_t{static_cast<uint32_t>(voice.positionInt)} << 32) | voice.positionFrac;
}
inline void storePosition(Voice& voice, uint64_t position) {
    voice.positionInt = static_cast<int32_t>(static_cast<uint32_t>(position >> 32));
    voice.positionFrac = static_cast<uint32_t>(position);
}

} // namespace korvanthe::mixer
