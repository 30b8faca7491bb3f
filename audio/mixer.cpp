// The loop that drives the mixer: voices one after another, each cut into
// passes that end at a loop boundary, at the end of a ramp or at the end of
// the run. The per-frame arithmetic is in audio/mixer_frame.h, the loops of
// each code path in audio/mixer_kernels.h.
#include "audio/mixer.h"

#include <cmath>
#include <cstddef>

#include "audio/mixer_boundary.h"
#include "audio/mixer_frame.h"
#include "audio/mixer_kernels.h"

namespace korvanthe {

Voice voices[VoiceCount];
MixerSettings mixerSettings{};

namespace {

using namespace mixer;

// The step of one side's gain per ramp frame, from the level reached to the
// volume; 0 for a side already there.
float rampStep(int32_t volume, int32_t reached) {
    const double inverse = mixerSettings.rampFramesInverse;
    return volume != reached ? toSingle((volume - reached) * GainPerVolume * inverse) : 0.0f;
}

// Sets up the ramp of a new pass: the running one goes on while both
// targets still hold, otherwise a new one starts from the levels reached.
// Returns its length in frames; 0: no ramp.
int32_t setUpRamp(Voice& voice) {
    if (voice.rampFramesLeft != 0 && voice.volumeLeft == voice.rampTargetLeft &&
        voice.volumeRight == voice.rampTargetRight) {
        return voice.rampFramesLeft;
    }
    voice.rampTargetLeft = voice.volumeLeft;
    voice.rampTargetRight = voice.volumeRight;
    const int32_t reachedLeft = voice.levelLeft >> 8;
    const int32_t reachedRight = voice.levelRight >> 8;
    voice.rampStepLeft = rampStep(voice.volumeLeft, reachedLeft);
    voice.rampStepRight = rampStep(voice.volumeRight, reachedRight);
    if (voice.volumeLeft == reachedLeft && voice.volumeRight == reachedRight) {
        return 0;
    }
    voice.rampFramesLeft = mixerSettings.rampFrames;
    return voice.rampFramesLeft;
}

// After a ramp pass: the levels reached (rounded, ties to even), and at the
// ramp's end the levels put exactly on the volumes.
void finishRampPass(Voice& voice, float gainLeft, float gainRight, int32_t frames) {
    voice.levelLeft = static_cast<int32_t>(std::nearbyint(gainLeft * 255.0 * 256.0));
    voice.levelRight = static_cast<int32_t>(std::nearbyint(gainRight * 255.0 * 256.0));
    voice.rampFramesLeft -= frames;
    if (voice.rampFramesLeft == 0) {
        voice.rampStepLeft = 0.0f;
        voice.rampStepRight = 0.0f;
        voice.levelLeft = voice.volumeLeft << 8;
        voice.levelRight = voice.volumeRight << 8;
    }
}

// Steady frames two at a time with the volumes' gains; an odd last frame
// takes the ramp path with gains from the levels, which outside a ramp equal
// the volumes. A silent voice adds a zero to every value, which changes no
// value (at most the sign of a zero, which the clipper drops): only its
// position moves on.
uint64_t mixSteadyPass(const Kernels& kernels, const Voice& voice, float* out, const int16_t* data,
                       uint64_t position, uint64_t signedStep, int32_t frames) {
    const float gainLeft = volumeGain(voice.volumeLeft);
    const float gainRight = volumeGain(voice.volumeRight);
    const int32_t even = frames & ~1;
    if (even > 0 && gainLeft == 0.0f && gainRight == 0.0f) {
        position = positionAfter(position, signedStep, static_cast<uint64_t>(even));
    } else {
        position = kernels.mixSteady(out, data, position, signedStep, gainLeft, gainRight, even);
    }
    if (even != frames) {
        mixFrame(out + static_cast<std::ptrdiff_t>(even) * 2, data, position,
                 levelGain(voice.levelLeft), levelGain(voice.levelRight));
        position = advance(position, signedStep);
    }
    return position;
}

// A ramp pass that is not heard. A ramp cut short by the pass keeps the
// levels reached, rounded from the gains, so those step frame by frame
// exactly as the kernels step them. A ramp that ends within the pass needs
// no gains: its end puts the levels on the volumes (finishRampPass), and
// that is most ramps, which run their whole length in one pass.
uint64_t rampSilently(const Voice& voice, uint64_t position, uint64_t signedStep,
                      float& gainLeft, float& gainRight, int32_t frames) {
    if (frames < voice.rampFramesLeft) {
        const float stepLeft = voice.rampStepLeft;
        const float stepRight = voice.rampStepRight;
        for (int32_t i = 0; i < frames; ++i) {
            gainLeft += stepLeft;
            gainRight += stepRight;
        }
    }
    return frames > 0 ? positionAfter(position, signedStep, static_cast<uint64_t>(frames))
                      : position;
}

// One voice over frameCount frames. Audible: mixed into out. Not audible:
// the voice moves on exactly as mixing would move it (position, direction,
// loops, the end of its sample, ramps and levels), and out is not touched.
template <bool Audible>
void runVoice(const Kernels& kernels, Voice& voice, float* out, int32_t frameCount) {
    const int16_t* data = voice.sample->data;
    if (data == nullptr) {
        // Sanity check: no frames to read (an empty sample) ends the voice at once.
        voice.sample = nullptr;
        storePosition(voice, 0);
        return;
    }
    const uint64_t step = (uint64_t{static_cast<uint32_t>(voice.stepInt)} << 32) | voice.stepFrac;
    uint64_t position = packPosition(voice);
    for (int32_t framesLeft = frameCount; framesLeft > 0;) {
        // The direction may change at every boundary.
        const uint64_t signedStep = voice.direction == 1 ? step : uint64_t{0} - step;
        PassLength pass = findBoundary(voice, position, step, signedStep, framesLeft);
        const int32_t rampLength = setUpRamp(voice);
        const bool cutByRamp = rampLength > 0 && rampLength < pass.frames;
        if (cutByRamp) {
            pass.frames = rampLength;
        }
        if (rampLength > 0) {
            float gainLeft = levelGain(voice.levelLeft);
            float gainRight = levelGain(voice.levelRight);
            if constexpr (Audible) {
                position = kernels.mixRamp(out, data, position, signedStep, gainLeft, gainRight,
                                           voice.rampStepLeft, voice.rampStepRight, pass.frames);
            } else {
                position =
                    rampSilently(voice, position, signedStep, gainLeft, gainRight, pass.frames);
            }
            finishRampPass(voice, gainLeft, gainRight, pass.frames);
        } else if constexpr (Audible) {
            position = mixSteadyPass(kernels, voice, out, data, position, signedStep, pass.frames);
        } else if (pass.frames > 0) {
            position = positionAfter(position, signedStep, static_cast<uint64_t>(pass.frames));
        }
        if constexpr (Audible) {
            out += static_cast<std::ptrdiff_t>(pass.frames) * 2;
        }
        framesLeft -= pass.frames;

        // A pass cut by its ramp (or ended early by the check in
        // findBoundary) goes on with a new pass at the next frame; a pass that
        // reached the boundary goes on from where the loop put the position.
        if (!pass.reachesBoundary || cutByRamp) {
            storePosition(voice, position);
        } else if (!handleBoundary(voice, position)) {
            return;
        }
    }
}

} // namespace

void resetVoices(int32_t sampleRate) {
    for (Voice& voice : voices) {
        voice = Voice{};
        voice.stepInt = 1;
    }
    // Sanity check: at least one frame, so that a very low rate still ramps.
    const int32_t frames =
        sampleRate > 0 ? static_cast<int32_t>(int64_t{sampleRate} * 128 / 44100) : 0;
    mixerSettings.rampFrames = frames > 0 ? frames : 1;
    mixerSettings.rampFramesInverse = 1.0f / static_cast<float>(mixerSettings.rampFrames);
}

void mixVoices(float* buffer, int32_t frameCount) {
    if (frameCount < 1 || buffer == nullptr) {
        return;
    }
    const Kernels& kernels = activeKernels();
    for (int32_t i = 0; i < MixedVoices; ++i) {
        if (voices[i].sample != nullptr) {
            runVoice<true>(kernels, voices[i], buffer, frameCount);
        }
    }
}

void advanceVoices(int32_t frameCount) {
    if (frameCount < 1) {
        return;
    }
    const Kernels& kernels = activeKernels();
    for (int32_t i = 0; i < MixedVoices; ++i) {
        if (voices[i].sample != nullptr) {
            runVoice<false>(kernels, voices[i], nullptr, frameCount);
        }
    }
}

void clipToPcm16(int16_t* output, const float* buffer, int32_t frameCount) {
    if (frameCount < 1 || output == nullptr || buffer == nullptr) {
        return;
    }
    activeKernels().clip(output, buffer, frameCount * 2);
}

void clipToPcm16AndClear(int16_t* output, float* buffer, int32_t frameCount) {
    if (frameCount < 1 || output == nullptr || buffer == nullptr) {
        return;
    }
    activeKernels().clipAndClear(output, buffer, frameCount * 2);
}

} // namespace korvanthe
