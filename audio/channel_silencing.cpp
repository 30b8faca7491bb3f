#include "audio/channel_silencing.h"

#include <algorithm>

#include "audio/mixer.h"
#include "replayer/channel.h"

namespace korvanthe {

namespace {

struct Silencing {
    Module* song;             // the wrapped song; null when none is
    TickHandler replayerTick; // the handler the loader stored
    uint32_t silenced;        // bit i: channel i
};

Silencing silencing{};

// Zero gains and no ramp: the mixer then adds nothing for the voice (its
// silent-voice path only moves the position on), so the other channels mix
// to exactly the values they would have anyway. The channel itself plays on
// untouched, as it would if heard.
void silenceVoice(Voice& voice) {
    voice.volumeLeft = 0;
    voice.volumeRight = 0;
    voice.levelLeft = 0;
    voice.levelRight = 0;
    voice.rampTargetLeft = 0;
    voice.rampTargetRight = 0;
    voice.rampStepLeft = 0.0f;
    voice.rampStepRight = 0.0f;
    voice.rampFramesLeft = 0;
}

void silencingTick(Module* module) {
    silencing.replayerTick(module);
    if (silencing.silenced == 0) {
        return;
    }
    const int32_t channelCount = std::min<int32_t>(module->channelCount, MaxChannels);
    for (int32_t i = 0; i < channelCount; ++i) {
        if ((silencing.silenced & (1u << i)) != 0 && channels[i].voice != nullptr) {
            silenceVoice(*channels[i].voice);
        }
    }
}

} // namespace

void silenceChannels(Module* song, uint32_t silenced) {
    if (silencing.song != nullptr) {
        unsilenceChannels(silencing.song);
    }
    if (song == nullptr) {
        return;
    }
    silencing.song = song;
    silencing.replayerTick = song->tickHandler;
    silencing.silenced = silenced;
    if (silencing.replayerTick != nullptr) {
        song->tickHandler = silencingTick;
    }
}

void unsilenceChannels(Module* song) {
    if (song == nullptr || silencing.song != song) {
        return;
    }
    if (song->tickHandler == silencingTick) {
        song->tickHandler = silencing.replayerTick;
    }
    silencing.song = nullptr;
}

} // namespace korvanthe
