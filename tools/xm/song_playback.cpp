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
    int32_t startOrder;
    bool startPending; // the first tick is still to come
    uint32_t silenced; // bit i: channel i
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
    if (playback.startPending) {
        playback.startPending = false;
        if (playback.startOrder > 0) {
            // Entered as a jump would enter it, so the first row tick plays it.
            module->nextOrder = playback.startOrder;
            module->nextRow = 0;
        }
    }
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
    playback.startOrder = options.startOrder;
    playback.startPending = true;
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

int64_t longestSongFrames(const PlaybackOptions& options) {
    return int64_t{options.sampleRate} * LongestSongSeconds * options.repeats;
}

bool startSongRender(Module* song, const PlaybackOptions& options, bool watchSongEnd) {
    stopSongRender();
    if (song == nullptr || !startOfflineRender(song, options.sampleRate, watchSongEnd,
                                               options.repeats, options.startOrder)) {
        return false;
    }
    hook(song, options);
    playback.rendering = true;
    return true;
}

bool renderSongBlock(OfflineBlock* block) {
    return playback.rendering && renderOfflineBlock(block);
}

void stopSongRender() {
    if (playback.rendering) {
        stopOfflineRender();
        unhook();
    }
    playback.rendering = false;
}

SongLength measureSong(Module* song, const PlaybackOptions& options) {
    const int64_t limit = longestSongFrames(options);
    if (!startSongRender(song, options, true)) {
        return SongLength{-1, false, {}};
    }
    int64_t frames = 0;
    OfflineBlock block{};
    BlockStamp last{};
    while (frames < limit && renderSongBlock(&block)) {
        frames += block.frames;
        last = block.stamp;
    }
    const bool ended = offlineSongEnded();
    stopSongRender();
    return SongLength{std::min(frames, limit), ended, last};
}

bool measureSongFile(const std::string& path, const PlaybackOptions& options, SongLength& length,
                     std::string& reason) {
    XmLoadReport report;
    Module* copy = loadSongFile(path, report, reason);
    if (copy == nullptr) {
        return false;
    }
    length = measureSong(copy, options);
    freeModule(copy);
    if (length.frames < 0) {
        reason = "cannot allocate the render buffers";
        return false;
    }
    return true;
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
