#include "tools/xm/song_playback.h"

#include <algorithm>

#include "audio/channel_silencing.h"
#include "tools/xm/commands.h"

namespace korvanthe {

namespace {

struct SongPlayback {
    Module* song;   // the hooked song; null when none is
    bool rendering; // an offline render runs
};

SongPlayback playback{};

void hook(Module* song, const PlaybackOptions& options) {
    playback.song = song;
    silenceChannels(song, silencedChannels(options));
}

void unhook() {
    unsilenceChannels(playback.song);
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
