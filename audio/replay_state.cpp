#include "audio/replay_state.h"

#include <algorithm>

#include "audio/block_renderer.h"
#include "audio/output_settings.h"

namespace korvanthe {

namespace {

int32_t usedChannels(const Module& module) {
    return std::clamp<int32_t>(module.channelCount, 0, MaxChannels);
}

// Calls visit(sample) for every sample the module owns, in a fixed order.
template <typename Visit> void forEachSample(const Module& module, Visit visit) {
    if (module.instruments == nullptr) {
        return;
    }
    for (int32_t i = 0; i < module.instrumentCount; ++i) {
        const Instrument& instrument = module.instruments[i];
        const int32_t count = std::clamp<int32_t>(instrument.sampleCount, 0, MaxSamplesPerInstrument);
        for (int32_t j = 0; j < count; ++j) {
            if (instrument.samples[j] != nullptr && instrument.samples[j] != &emptySample) {
                visit(*instrument.samples[j]);
            }
        }
    }
}

} // namespace

void saveReplayState(const Module& module, ReplayState& state) {
    state.songBlock = blockRenderer.songBlock;
    state.samplesToTick = module.samplesToTick;
    state.samplesPerTick = module.samplesPerTick;
    state.globalVolume = module.globalVolume;
    state.globalVolumeSlide = module.globalVolumeSlide;
    state.tick = module.tick;
    state.speed = module.speed;
    state.bpm = module.bpm;
    state.row = module.row;
    state.order = module.order;
    state.patternDelayTicks = module.patternDelayTicks;
    state.nextRow = module.nextRow;
    state.nextOrder = module.nextOrder;
    state.elapsedMs = module.elapsedMs;
    state.channelCount = usedChannels(module);
    std::copy_n(channels, state.channelCount, state.channels);
    std::copy_n(voices, state.channelCount, state.voices);
    state.finetunes.clear();
    forEachSample(module, [&](const Sample& sample) { state.finetunes.push_back(sample.finetune); });
}

void restoreReplayState(Module& module, const ReplayState& state) {
    blockRenderer.songBlock = state.songBlock;
    module.samplesToTick = state.samplesToTick;
    module.samplesPerTick = state.samplesPerTick;
    module.globalVolume = state.globalVolume;
    module.globalVolumeSlide = state.globalVolumeSlide;
    module.tick = state.tick;
    module.speed = state.speed;
    module.bpm = state.bpm;
    module.row = state.row;
    module.order = state.order;
    module.patternDelayTicks = state.patternDelayTicks;
    module.nextRow = state.nextRow;
    module.nextOrder = state.nextOrder;
    module.elapsedMs = state.elapsedMs;
    std::copy_n(state.channels, state.channelCount, channels);
    std::copy_n(state.voices, state.channelCount, voices);
    size_t next = 0;
    forEachSample(module, [&](Sample& sample) {
        if (next < state.finetunes.size()) {
            sample.finetune = state.finetunes[next++];
        }
    });
}

void restartSongAsLoaded(Module& module) {
    // Voices beyond the channels never sound, but a reset leaves nothing of
    // an earlier song in any of them.
    resetVoices(outputSettings.sampleRate);
    startSong(&module);
    module.globalVolumeSlide = 0;
    forEachSample(module, [](Sample& sample) { sample.finetune = sample.loadedFinetune; });
    blockRenderer.songBlock = 0;
    blockRenderer.tickFrame = 0;
}

} // namespace korvanthe
