// Playing through the default device, as `korvanthe-xm play` does: the
// streaming of audio/block_streaming.h at the caller's rate, with the moves
// (seek, pause, A-B loop) and the heard position of the player.
#include "audio/block_streaming.h"
#include "audio/channel_silencing.h"
#include "audio/output_settings.h"
#include "audio/song_map.h"
#include "module/file_callbacks.h"
#include "xm_api/song_record.h"

namespace korvanthe::xmapi {

namespace {

constexpr int32_t RateBeforeAnyPlay = 44100;

bool playing(const korvanthe_xm_song* song) {
    return isLive(song) && song->state == korvanthe_xm_song::State::Playing;
}

// The frame of `position` in the song's map at the output rate, mapping the
// song first when it has no map there.
int frameOf(korvanthe_xm_song& song, const SongPosition& position, int64_t* frame) {
    const SongMap* map = mapPlayback(song.module, 1);
    if (map == nullptr) {
        return KORVANTHE_XM_ERROR_OUT_OF_MEMORY;
    }
    recordDuration(map->sampleRate, map->endFrame, map->ended);
    return refusalCode(songPositionFrame(*map, *song.module, position, frame));
}

} // namespace

void endPlayback() {
    if (liveSong.state == korvanthe_xm_song::State::Playing) {
        stopModule(liveSong.module);
        closeAudio();
        unsilenceChannels(liveSong.module);
    }
    liveSong.state = korvanthe_xm_song::State::Idle;
}

} // namespace korvanthe::xmapi

using namespace korvanthe;
using namespace korvanthe::xmapi;

extern "C" {

int korvanthe_xm_play(korvanthe_xm_song* song, int32_t sample_rate) {
    if (!isLive(song) || !rateFits(sample_rate)) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    if (song->state == korvanthe_xm_song::State::Rendering) {
        endRender();
    }
    endPlayback();
    // The device opens only with a complete set of file callbacks.
    useStandardFileCallbacks();
    silenceChannels(song->module, song->silenced);
    if (!openAudio(sample_rate)) {
        unsilenceChannels(song->module);
        return KORVANTHE_XM_ERROR_NO_DEVICE;
    }
    song->playRate = sample_rate;
    int64_t startFrame = 0;
    int result = frameOf(*song, song->hasStart ? song->start : SongPosition::orderRow(0, 0),
                         &startFrame);
    if (result == KORVANTHE_XM_OK) {
        seekPlayback(song->module, startFrame);
        if (!playModule(song->module)) {
            result = KORVANTHE_XM_ERROR_NO_DEVICE;
        }
    }
    song->hasStart = false;
    if (result != KORVANTHE_XM_OK) {
        closeAudio();
        unsilenceChannels(song->module);
        return result;
    }
    song->state = korvanthe_xm_song::State::Playing;
    return KORVANTHE_XM_OK;
}

void korvanthe_xm_stop(korvanthe_xm_song* song) {
    if (playing(song)) {
        endPlayback();
    }
}

int korvanthe_xm_heard_now(korvanthe_xm_song* song, korvanthe_xm_heard* heard) {
    if (!isLive(song) || heard == nullptr) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    *heard = korvanthe_xm_heard{};
    if (!playing(song)) {
        return KORVANTHE_XM_ERROR_NOT_PLAYING;
    }
    const HeardPosition now = heardPosition();
    heard->frame = now.songFrame;
    heard->order = now.stamp.order;
    heard->row = now.stamp.row;
    heard->time_ms = now.stamp.elapsedMs;
    heard->known = now.known ? 1 : 0;
    heard->paused = playbackPaused() ? 1 : 0;
    heard->looping = playbackLooping() ? 1 : 0;
    return KORVANTHE_XM_OK;
}

int korvanthe_xm_seek(korvanthe_xm_song* song, korvanthe_xm_place place) {
    if (!isLive(song)) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    SongPosition position;
    if (!takePlace(place, position)) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    if (song->state == korvanthe_xm_song::State::Rendering) {
        return KORVANTHE_XM_ERROR_BUSY;
    }
    if (song->state == korvanthe_xm_song::State::Idle) {
        // Checked against the map at the rate the next play is likely to
        // have, and taken up again by it; the map is kept for the play, so
        // it is made with the channels the play will have.
        configureOutput(song->playRate != 0 ? song->playRate : RateBeforeAnyPlay);
        silenceChannels(song->module, song->silenced);
    }
    int64_t frame = 0;
    const int result = frameOf(*song, position, &frame);
    if (song->state == korvanthe_xm_song::State::Idle) {
        unsilenceChannels(song->module);
    }
    if (result != KORVANTHE_XM_OK) {
        return result;
    }
    if (song->state == korvanthe_xm_song::State::Playing) {
        seekPlayback(song->module, frame);
    } else {
        song->hasStart = true;
        song->start = position;
    }
    return KORVANTHE_XM_OK;
}

int korvanthe_xm_pause(korvanthe_xm_song* song, int paused) {
    if (!isLive(song)) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    if (!playing(song)) {
        return KORVANTHE_XM_ERROR_NOT_PLAYING;
    }
    pausePlayback(paused != 0);
    return KORVANTHE_XM_OK;
}

int korvanthe_xm_loop(korvanthe_xm_song* song, korvanthe_xm_place from, korvanthe_xm_place to) {
    if (!isLive(song)) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    SongPosition first;
    SongPosition last;
    if (!takePlace(from, first) || !takePlace(to, last)) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    if (!playing(song)) {
        return KORVANTHE_XM_ERROR_NOT_PLAYING;
    }
    int64_t firstFrame = 0;
    int64_t endFrame = 0;
    int result = frameOf(*song, first, &firstFrame);
    if (result == KORVANTHE_XM_OK) {
        result = frameOf(*song, last, &endFrame);
    }
    if (result == KORVANTHE_XM_OK && !loopPlayback(song->module, firstFrame, endFrame)) {
        result = KORVANTHE_XM_ERROR_PAST_SONG_END; // an end no later than the start
    }
    return result;
}

void korvanthe_xm_stop_looping(korvanthe_xm_song* song) {
    if (playing(song)) {
        stopLoopingPlayback();
    }
}

} // extern "C"
