#include "tools/xm/song_playback.h"

#include <algorithm>

#include "audio/mixer.h"
#include "replayer/channel.h"
#include "tools/xm/commands.h"

namespace korvanthe {

namespace {

struct SongPlayback {
    Module* song;             // the hooked song; null when none is
    TickHandler replayerTick; // the handler the loader stored
    uint32_t silenced;        // bit i: channel i
    bool rendering;    // an offline render runs
};

SongPlayback playback{};

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

void playbackTick(Module* module) {
    playback.replayerTick(module);
    if (playback.silenced == 0) {
        return;
    }
    const int32_t channelCount = std::min<int32_t>(module->channelCount, MaxChannels);
    for (int32_t i = 0; i < channelCount; ++i) {
        if ((playback.silenced & (1u << i)) != 0 && channels[i].voice != nullptr) {
            silenceVoice(*channels[i].voice);
        }
    }
}

void hook(Module* song, const PlaybackOptions& options) {
    playback.song = song;
    playback.replayerTick = song->tickHandler;
    playback.silenced = silencedChannels(options);
    if (playback.replayerTick != nullptr) {
        song->tickHandler = playbackTick;
    }
}

void unhook() {
    if (playback.song != nullptr && playback.song->tickHandler == playbackTick) {
        playback.song->tickHandler = playback.replayerTick;
    }
    playback.song = nullptr;
}

} // namespace

bool startSongRender(Module* song, const PlaybackOptions& options, bool untilSongEnd,
                     std::string& reason, int& exitCode) {
    stopSongRender();
    if (song == nullptr) {
        reason = "no song";
        exitCode = ExitFileError;
        return false;
    }
    // Hooked first: the song's map, made as the render starts, is of the song
    // as it plays with its channels muted.
    hook(song, options);
    bool started = false;
    const PositionRefusal refusal = startOfflineRenderBetween(
        song, options.sampleRate, options.repeats, options.start,
        options.hasEnd ? &options.end : nullptr, untilSongEnd, &started);
    if (!started) {
        if (refusal != PositionRefusal::None) {
            reason = positionRefusalLine(offlineSongMap(), *song, options, refusal);
            exitCode = ExitUsageError;
        } else {
            reason = "cannot allocate the render buffers";
            exitCode = ExitFileError;
        }
        unhook();
        return false;
    }
    playback.rendering = true;
    return true;
}

bool renderSongBlock(OfflineBlock* block) {
    return playback.rendering && renderOfflineBlock(block);
}

bool renderSongBlockIntoBuffer(int16_t* pcm, OfflineBlock* block) {
    return playback.rendering && renderOfflineBlockInto(pcm, block);
}

void stopSongRender() {
    if (playback.rendering) {
        stopOfflineRender();
        unhook();
    }
    playback.rendering = false;
}

SongLength measureSong(Module* song, const PlaybackOptions& options) {
    return measureSongLength(song, options.sampleRate, options.repeats);
}

void hookLivePlayback(Module* song, const PlaybackOptions& options) {
    stopSongRender();
    if (song != nullptr) {
        hook(song, options);
    }
}

void unhookLivePlayback(Module* song) {
    if (playback.song == song) {
        unhook();
    }
}

} // namespace korvanthe
