// Rendering into the caller's buffer: the offline render of the tools, block
// by block through the block renderer, handed out in whatever frame counts
// the caller asks for.
#include <algorithm>
#include <cstring>
#include <new>

#include "audio/channel_silencing.h"
#include "audio/offline_render.h"
#include "audio/output_settings.h"
#include "xm_api/song_record.h"

namespace korvanthe::xmapi {

void endRender() {
    if (liveSong.state == korvanthe_xm_song::State::Rendering) {
        stopOfflineRender();
        unsilenceChannels(liveSong.module);
    }
    liveSong.state = korvanthe_xm_song::State::Idle;
    liveSong.blockFrames = nullptr;
    liveSong.blockFramesLeft = 0;
}

namespace {

// The next block of the render into song.block; false at the render's end.
bool takeNextBlock(korvanthe_xm_song& song) {
    OfflineBlock block{};
    if (song.renderEnded || !renderOfflineBlockInto(song.block.data(), &block)) {
        song.renderEnded = true;
        return false;
    }
    int64_t frames = block.frames;
    if (song.renderEndFrame >= 0) {
        frames = std::min<int64_t>(frames, song.renderEndFrame - block.firstFrame);
    }
    if (frames <= 0) {
        song.renderEnded = true;
        return false;
    }
    song.blockFrames = block.pcm;
    song.blockFramesLeft = static_cast<int32_t>(frames);
    song.blockStamp = block.stamp;
    song.blockEndFrame = block.firstFrame + frames;
    return true;
}

} // namespace

} // namespace korvanthe::xmapi

using namespace korvanthe;
using namespace korvanthe::xmapi;

extern "C" {

int korvanthe_xm_render_start(korvanthe_xm_song* song, int32_t sample_rate,
                              const korvanthe_xm_place* from, int loop) {
    if (!isLive(song) || !rateFits(sample_rate)) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    SongPosition start = SongPosition::orderRow(0, 0);
    if (from != nullptr && !takePlace(*from, start)) {
        return KORVANTHE_XM_ERROR_BAD_ARGUMENT;
    }
    if (song->state == korvanthe_xm_song::State::Playing) {
        return KORVANTHE_XM_ERROR_BUSY;
    }
    endRender();
    try {
        song->block.assign(static_cast<size_t>(blockFramesAt(sample_rate)) * 2, 0);
    } catch (const std::bad_alloc&) {
        return KORVANTHE_XM_ERROR_OUT_OF_MEMORY;
    }
    // Silenced first, as `render` does: the map made as the render starts is
    // of the song as it plays with those channels silent.
    silenceChannels(song->module, song->silenced);
    const bool untilSongEnd = loop == 0;
    bool started = false;
    const PositionRefusal refusal = startOfflineRenderBetween(song->module, sample_rate, 1, start,
                                                              nullptr, untilSongEnd, &started);
    if (!started) {
        unsilenceChannels(song->module);
        return refusal != PositionRefusal::None ? refusalCode(refusal)
                                                : KORVANTHE_XM_ERROR_OUT_OF_MEMORY;
    }
    if (untilSongEnd) {
        // The map found where the song ends: the duration at this rate.
        recordDuration(sample_rate, offlineSongMap().endFrame, offlineSongMap().ended);
    }
    song->state = korvanthe_xm_song::State::Rendering;
    song->renderEndFrame = offlineStretch().endFrame;
    song->renderEnded = false;
    song->blockFrames = nullptr;
    song->blockFramesLeft = 0;
    return KORVANTHE_XM_OK;
}

int64_t korvanthe_xm_render(korvanthe_xm_song* song, int16_t* pcm, int64_t frames,
                            korvanthe_xm_stamp* stamps, size_t max_stamps, size_t* stamp_count) {
    if (stamp_count != nullptr) {
        *stamp_count = 0;
    }
    if (!isLive(song) || song->state != korvanthe_xm_song::State::Rendering || frames < 0 ||
        (pcm == nullptr && frames > 0) || (stamps == nullptr && max_stamps > 0)) {
        return -1;
    }
    int64_t written = 0;
    size_t ended = 0;
    while (written < frames) {
        if (song->blockFramesLeft == 0 && !takeNextBlock(*song)) {
            break;
        }
        const auto count =
            static_cast<int32_t>(std::min<int64_t>(frames - written, song->blockFramesLeft));
        std::memcpy(pcm + written * 2, song->blockFrames, static_cast<size_t>(count) * 4);
        song->blockFrames += static_cast<ptrdiff_t>(count) * 2;
        song->blockFramesLeft -= count;
        written += count;
        if (song->blockFramesLeft == 0) {
            if (ended < max_stamps) {
                const BlockStamp& stamp = song->blockStamp;
                stamps[ended] = korvanthe_xm_stamp{song->blockEndFrame, stamp.order, stamp.row,
                                                   stamp.elapsedMs};
            }
            ++ended;
        }
    }
    if (stamp_count != nullptr) {
        *stamp_count = ended;
    }
    return written;
}

void korvanthe_xm_render_stop(korvanthe_xm_song* song) {
    if (isLive(song) && song->state == korvanthe_xm_song::State::Rendering) {
        endRender();
    }
}

} // extern "C"
