#include "audio/mixer_boundary.h"

#include "audio/mixer_frame.h"

namespace korvanthe::mixer {

namespace {

constexpr uint64_t BoundaryUnitLimit = uint64_t{1} << 56; // 2^24 frames in 32.32

// Sums and differences of positions wrap as unsigned values; comparisons
// take them as signed.
int64_t asSigned(uint64_t value) {
    return static_cast<int64_t>(value);
}

} // namespace

PassLength findBoundary(const Voice& voice, uint64_t position, uint64_t step, uint64_t signedStep,
                        int32_t framesLeft) {
    const Sample& sample = *voice.sample;
    const uint64_t loopStart = uint64_t{sample.loopStart} << 32;
    const uint64_t loopEnd = (uint64_t{sample.loopStart} + sample.loopLength) << 32;
    const bool forward = voice.direction == 1;
    const uint64_t distance = forward ? loopEnd - position : position - loopStart;

    if (asSigned(distance) < 0) {
        // Sanity check: a position already beyond the boundary would never
        // meet it and would read outside the sample; handle the boundary now.
        return {0, true};
    }
    if (distance >= BoundaryUnitLimit) {
        return {framesLeft, false};
    }
    // The count in 2^-24 frame units. The step is a 64-bit value here, so a
    // step of 256 frames or more still counts right (sanity check).
    const uint64_t distanceUnits = distance >> 8;
    const uint64_t stepUnits = (step >> 32 << 24) | (static_cast<uint32_t>(step) >> 8);
    if (stepUnits == 0) {
        return {framesLeft, false}; // a stopped voice never arrives anywhere
    }
    const uint64_t frames = (distanceUnits + stepUnits - 1) / stepUnits;
    if (frames > static_cast<uint64_t>(framesLeft)) {
        return {framesLeft, false};
    }
    PassLength pass{static_cast<int32_t>(frames), true};
    // Sanity check: moving backward, the last frame of a pass may lie a few
    // 2^-32 below loopStart; where that would be below frame 0 the pass ends
    // one frame early and the boundary is handled at that frame instead.
    if (!forward && pass.frames >= 2 &&
        asSigned(positionAfter(position, signedStep, static_cast<uint64_t>(pass.frames - 1))) < 0) {
        pass.frames -= 1;
        pass.reachesBoundary = false;
    }
    return pass;
}

// Handles the boundary the pass reached. Returns false when the voice ended.
bool handleBoundary(Voice& voice, uint64_t& position) {
    const Sample& sample = *voice.sample;
    const uint64_t loopLength = uint64_t{sample.loopLength} << 32;
    const uint64_t loopStart = uint64_t{sample.loopStart} << 32;
    const uint64_t loopEnd = loopStart + loopLength;

    // Sanity check: a looped sample without loop frames ends like an unlooped one.
    if (sample.loopType == LoopForward && loopLength != 0) {
        // loopLength off the whole part at least once, and again until it is
        // below the loop end: done as one division.
        const uint64_t times =
            asSigned(position) >= asSigned(loopEnd) ? (position - loopEnd) / loopLength + 1 : 1;
        position -= times * loopLength;
        voice.direction = 1; // sanity check: a forward loop never runs backward
    } else if (sample.loopType == LoopPingPong && loopLength != 0) {
        // Two turns in a row move the position by exactly two loop lengths and
        // keep the direction, so whole round trips of an overshoot come off
        // first; the turns below then happen at most twice.
        const uint64_t roundTrip = 2 * loopLength;
        if (voice.direction == 1 && asSigned(position) >= asSigned(loopEnd)) {
            position -= (position - loopEnd) / roundTrip * roundTrip;
        } else if (voice.direction != 1 && asSigned(position) < asSigned(loopStart)) {
            position += (loopStart - position - 1) / roundTrip * roundTrip;
        }
        // Mirror at each end, 2^-32 inside, as often as the step overshoots.
        for (;;) {
            if (voice.direction == 1) {
                position = 2 * loopEnd - position - 1;
                voice.direction = 2;
                if (asSigned(position) >= asSigned(loopStart)) {
                    break;
                }
            } else {
                position = 2 * loopStart - position - 1;
                voice.direction = 1;
                if (asSigned(position) < asSigned(loopEnd)) {
                    break;
                }
            }
        }
    } else {
        voice.sample = nullptr;
        storePosition(voice, 0);
        return false;
    }
    // Sanity check: a loop starting at frame 0 can leave the position 2^-32
    // below it (a backward turn landing exactly on the start, or a forward
    // pass ending a few 2^-32 short of the end); frame -1 would be read.
    if (asSigned(position) < 0) {
        position = 0;
    }
    storePosition(voice, position);
    return true;
}

} // namespace korvanthe::mixer
