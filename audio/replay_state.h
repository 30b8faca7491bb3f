// Everything that decides what a song plays from a given song block on: the
// module's play fields, the channels, the mixed voices, the finetunes that
// set-finetune (E5x) has written into the samples, and the song block the
// renderer stands at. Restoring a saved state puts the block renderer exactly
// where it was when the state was saved, so what it renders from there is
// bit for bit what it rendered then.
//
// Rendering thread (or the first thread while nothing plays), like the
// renderer itself.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/mixer.h"
#include "module/module.h"
#include "replayer/channel.h"

namespace korvanthe {

struct ReplayState {
    int64_t songBlock; // the renderer's blockRenderer.songBlock
    // The module's play fields.
    int32_t samplesToTick;
    int32_t samplesPerTick;
    int32_t globalVolume;
    uint8_t globalVolumeSlide;
    int32_t tick;
    int32_t speed;
    int32_t bpm;
    int32_t row;
    int32_t order;
    int32_t patternDelayTicks;
    int32_t nextRow;
    int32_t nextOrder;
    int32_t elapsedMs;
    int32_t channelCount; // channels and voices saved: the song's, at most MaxChannels
    Channel channels[MaxChannels];
    Voice voices[MaxChannels];
    std::vector<int8_t> finetunes; // every sample's, instrument by instrument
};

// The state of `module` being rendered now. The module must be the block
// renderer's current one.
void saveReplayState(const Module& module, ReplayState& state);

// Puts the saved state back: module and renderer continue from there. The
// state must have been saved from this module.
void restoreReplayState(Module& module, const ReplayState& state);

// The song start of a song as loaded: what the song start sets, with the
// voices silenced, plus what a performance may have changed that the song
// start leaves (the finetunes set-finetune wrote, the global volume slide's
// memory) back as the file gave it, so every time through from the start
// plays the same. The renderer's song block goes back to 0.
void restartSongAsLoaded(Module& module);

} // namespace korvanthe
