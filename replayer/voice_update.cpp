#include "replayer/voice_update.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "audio/mixer.h"
#include "audio/output_settings.h"

namespace korvanthe {

namespace {

// 1/768 as a single-precision value (0.0013020833721384406): one linear
// period unit is 1/768 octave, and the frequencies depend on the rounding.
constexpr double LinearOctaveFraction = static_cast<double>(1.0f / 768.0f);

// 255 / 2^35 (7.4214767664670944e-09), exact in single precision: volume 64 x
// envelope 64 x fadeout 65536 x global volume 64 maps to 127.
constexpr double VolumeScale = static_cast<double>(255.0f / 34359738368.0f);

// The Amiga table's clock: 14317056 (not 8363 x 1712 = 14317456), so period
// 1712 plays at 8362 Hz.
constexpr int32_t AmigaClock = 14317056;

constexpr int32_t LowestFrequency = 100; // keeps the mixer's step above 2^-24 frame
constexpr int32_t DefaultOutputRate = 44100;

// Truncates toward zero, saturating at the ends of int32 (out-of-range
// periods or volumes then give the extreme rather than undefined behaviour).
int32_t truncateToInt32(double value) {
    if (!(value > -2147483648.0)) {
        return std::numeric_limits<int32_t>::min();
    }
    if (value >= 2147483647.0) {
        return std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(value);
}

void triggerVoice(Voice* voice, const Sample* sample) {
    voice->sample = sample;
    const uint32_t playEnd = sample->loopStart + sample->loopLength;
    if (static_cast<uint32_t>(voice->startOffset) >= playEnd) {
        voice->startOffset = 0;
    }
    voice->direction = 1;
    voice->positionInt = voice->startOffset;
    voice->positionFrac = 0;
    voice->startOffset = 0;
    voice->levelLeft = 0;
    voice->levelRight = 0;
    voice->rampFramesLeft = 0;
}

void applyVolume(Voice* voice, const Channel* channel, const Module* module) {
    const double product = static_cast<double>(channel->volume + channel->volumeDelta) *
                           channel->volumeEnvelope.value * channel->fadeoutVolume *
                           module->globalVolume;
    const int32_t volume = truncateToInt32(product * VolumeScale);
    voice->volume = volume;
    voice->volumeLeft = volume * voice->panning / 255;
    voice->volumeRight = (255 - voice->panning) * volume / 255;
}

void applyPanning(Voice* voice, const Channel* channel) {
    const int32_t distance = std::abs(channel->panning - 128);
    const int32_t envelopeReach = (128 - distance) / 32; // 4 at the centre, 0 at the sides
    int32_t panning = envelopeReach * (channel->panningEnvelope.value - 32) + channel->panning;
    panning = panning < 0 ? 0 : panning > 255 ? 255 : panning;
    voice->panning = panning;
    voice->volumeLeft = voice->volume * panning / 255;
    voice->volumeRight = (255 - panning) * voice->volume / 255;
}

// The linear table's frequency for 4608 - period + periodDelta = `units`:
// 8363 Hz x 2^(units / 768), truncated.
int32_t linearFrequency(int64_t units) {
    const double octaves = static_cast<double>(units) * LinearOctaveFraction;
    return truncateToInt32(std::pow(2.0, octaves) * 8363.0);
}

// The step of each voice's latest frequency update and what it was made
// from, which is all it depends on. Most ticks ask for the step of the tick
// before (every voice's frequency is recomputed on every tick), which then
// costs no power and no divisions. A slot only ever gives back the step of
// the very key it holds, so which voice uses it cannot matter.
struct StepMemo {
    bool valid;
    bool linear;
    int64_t key; // 4608 - period + periodDelta on the linear table, period + periodDelta else
    int64_t rate;
    int32_t stepInt;
    uint32_t stepFrac;
};

StepMemo stepMemos[VoiceCount];

void applyFrequency(Voice* voice, const Channel* channel, const Module* module) {
    const bool linear = (module->flags & ModuleLinearFrequencies) != 0;
    const int32_t period = channel->period + channel->periodDelta;
    // A positive periodDelta raises the pitch on the linear table. In 64-bit
    // integers the sum is exact, as it is in double.
    const int64_t key = linear ? int64_t{4608} - channel->period + channel->periodDelta : period;
    const int64_t rate =
        outputSettings.sampleRate > 0 ? outputSettings.sampleRate : DefaultOutputRate;
    // The voice's address picks the slot: consecutive voices of the table
    // take consecutive slots.
    StepMemo& memo = stepMemos[reinterpret_cast<uintptr_t>(voice) / sizeof(Voice) % VoiceCount];
    if (!memo.valid || memo.linear != linear || memo.key != key || memo.rate != rate) {
        const int32_t frequency = linear ? linearFrequency(key) : AmigaClock / period;
        const int64_t stepped = frequency > LowestFrequency ? frequency : LowestFrequency;
        memo = StepMemo{true, linear, key, rate, static_cast<int32_t>(stepped / rate),
                        static_cast<uint32_t>(((stepped % rate) << 32) / rate)};
    }
    voice->stepInt = memo.stepInt;
    voice->stepFrac = memo.stepFrac;
}

} // namespace

void updateVoice(Channel* channel, const Sample* sample, const Module* module) {
    Voice* voice = channel->voice;
    if (voice == nullptr || module == nullptr) {
        return;
    }
    if (sample == nullptr) {
        sample = &emptySample;
    }
    if (channel->period + channel->periodDelta == 0) {
        channel->updateFlags &= static_cast<uint8_t>(~UpdateFrequency);
    }
    const uint8_t flags = channel->updateFlags;
    if ((flags & UpdateTrigger) != 0) {
        triggerVoice(voice, sample);
    }
    if ((flags & UpdateVolume) != 0) {
        applyVolume(voice, channel, module);
    }
    if ((flags & UpdatePanning) != 0) {
        applyPanning(voice, channel);
    }
    if ((flags & UpdateFrequency) != 0) {
        applyFrequency(voice, channel, module);
    }
    if ((flags & UpdateStop) != 0) {
        voice->positionFrac = 0;
        voice->positionInt = 0;
        voice->sample = nullptr;
        voice->startOffset = 0;
    }
}

} // namespace korvanthe
