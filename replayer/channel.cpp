#include "replayer/channel.h"

#include "audio/output_settings.h"

namespace korvanthe {

Channel channels[MaxChannels];

namespace {

// The tempo formula's constants as single-precision values (0.4000000059604645
// and 0.0010000000474974513): both lie a little above the decimal, which makes
// the tick floor(rate x 2.5 / bpm) for every bpm 1..255 at 44100 Hz.
constexpr double BeatFraction = static_cast<double>(0.4f);
constexpr double MillisecondsToSeconds = static_cast<double>(0.001f);

constexpr int32_t FallbackBpm = 125;
constexpr int32_t DefaultOutputRate = 44100;

} // namespace

void setTempo(Module* module, int32_t bpm) {
    if (module == nullptr) {
        return;
    }
    const int32_t rate =
        outputSettings.sampleRate > 0 ? outputSettings.sampleRate : DefaultOutputRate;
    module->bpm = bpm;
    // A bpm of 0 or below gives no usable tick; the caller never passes one
    // (Fxx takes 32..255 and startSong guards the default), but stay defined.
    const int32_t safeBpm = bpm > 0 ? bpm : FallbackBpm;
    module->samplesPerTick =
        static_cast<int32_t>((1000.0 / (safeBpm * BeatFraction)) * rate * MillisecondsToSeconds);
}

void startSong(Module* module) {
    if (module == nullptr) {
        return;
    }
    module->globalVolume = module->initialGlobalVolume;
    module->nextOrder = -1;
    module->nextRow = -1;
    module->speed = module->defaultSpeed;
    module->row = 0;
    module->order = 0;
    module->samplesToTick = 0;
    module->tick = 0;
    module->patternDelayTicks = 0;
    module->elapsedMs = 0;
    // A default BPM of 0 or below (a broken header) plays at 125.
    setTempo(module, module->defaultBpm > 0 ? module->defaultBpm : FallbackBpm);

    // More than MaxChannels channels is outside the model: only the first 32 play.
    const int32_t used = module->channelCount < 0             ? 0
                         : module->channelCount > MaxChannels ? MaxChannels
                                                              : module->channelCount;
    for (int32_t i = 0; i < used; ++i) {
        channels[i] = Channel{};
        channels[i].voice = &voices[i];
    }
}

} // namespace korvanthe
