#include "tools/xm/song_playback.h"

#include <algorithm>
#include <bitset>

#include "audio/block_renderer.h"
#include "audio/mixer.h"
#include "replayer/channel.h"
#include "replayer/tick_driver.h"
#include "tools/xm/commands.h"

namespace korvanthe {

namespace {

constexpr int MaxRows = 256; // rows a pattern can have

// Which (order, row) positions have played in the current time through the
// song. A pattern loop plays its rows again on purpose, so jumping back by a
// loop forgets the looped rows.
struct SongEndWatch {
    std::bitset<OrderTableSize * MaxRows> played;
    int32_t lastOrder;
    int32_t lastRow;
    bool started;
    int32_t endsLeft;    // times the song has still to end; 0: it has ended for good
    int32_t endFrame;    // frame of the block at which the last repeat began
    BlockStamp endStamp; // the position and time at that frame, before the repeat
};

struct SongPlayback {
    Module* song;             // the hooked song; null when none is
    TickHandler replayerTick; // the handler the loader stored
    int32_t startOrder;
    bool startPending; // the first tick is still to come
    uint32_t silenced; // bit i: channel i
    bool rendering;    // an offline render runs
    bool watching;     // ... and looks for the song's end
    SongEndWatch watch;
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

void markPlayed(SongEndWatch& watch, int32_t order, int32_t row) {
    watch.played.set(static_cast<size_t>(order) * MaxRows + static_cast<size_t>(row));
    watch.started = true;
    watch.lastOrder = order;
    watch.lastRow = row;
}

void watchRow(const Module* module, bool enteredOrder, void* context) {
    auto* watch = static_cast<SongEndWatch*>(context);
    if (watch->endsLeft == 0) {
        return;
    }
    const int32_t order = module->order;
    const int32_t row = module->row;
    if (order < 0 || order >= OrderTableSize || row < 0 || row >= MaxRows) {
        return;
    }
    if (watch->started && !enteredOrder && order == watch->lastOrder && row <= watch->lastRow) {
        for (int32_t r = row; r <= watch->lastRow; ++r) {
            watch->played.reset(static_cast<size_t>(order) * MaxRows + static_cast<size_t>(r));
        }
    }
    const size_t position = static_cast<size_t>(order) * MaxRows + static_cast<size_t>(row);
    if (!watch->played.test(position)) {
        markPlayed(*watch, order, row);
        return;
    }
    watch->endsLeft -= 1;
    if (watch->endsLeft > 0) {
        // The song plays on from here, as the replayer takes it: the next
        // time through begins with this position.
        watch->played.reset();
        markPlayed(*watch, order, row);
        return;
    }
    watch->endFrame = blockRenderer.tickFrame;
    watch->endStamp = BlockStamp{static_cast<uint8_t>(watch->lastOrder),
                                 static_cast<uint8_t>(watch->lastRow), module->elapsedMs};
}

} // namespace

int64_t longestSongFrames(const PlaybackOptions& options) {
    return int64_t{options.sampleRate} * LongestSongSeconds * options.repeats;
}

bool startSongRender(Module* song, const PlaybackOptions& options, bool watchSongEnd) {
    stopSongRender();
    // The song-end watch of the offline render stays off: this one knows
    // about start orders and repeats.
    if (song == nullptr || !startOfflineRender(song, options.sampleRate, false)) {
        return false;
    }
    hook(song, options);
    playback.rendering = true;
    playback.watching = watchSongEnd;
    playback.watch = SongEndWatch{};
    playback.watch.endsLeft = options.repeats;
    for (int32_t order = 0; order < options.startOrder && order < OrderTableSize; ++order) {
        for (int32_t row = 0; row < MaxRows; ++row) {
            playback.watch.played.set(static_cast<size_t>(order) * MaxRows +
                                      static_cast<size_t>(row));
        }
    }
    if (watchSongEnd) {
        setRowObserver(watchRow, &playback.watch);
    }
    return true;
}

bool songRenderEnded() {
    return playback.watching && playback.watch.endsLeft == 0;
}

bool renderSongBlock(OfflineBlock* block) {
    if (!playback.rendering || songRenderEnded() || !renderOfflineBlock(block)) {
        return false;
    }
    if (songRenderEnded()) {
        // The block is cut where the repeat begins, and so is its stamp.
        block->frames = std::min(block->frames, playback.watch.endFrame);
        block->stamp = playback.watch.endStamp;
    }
    return block->frames > 0;
}

void stopSongRender() {
    if (playback.watching) {
        setRowObserver(nullptr, nullptr);
    }
    if (playback.rendering) {
        stopOfflineRender();
        unhook();
    }
    playback.rendering = false;
    playback.watching = false;
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
    const bool ended = songRenderEnded();
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
