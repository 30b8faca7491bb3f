#include "bench/peers/xmp_peer.h"

#include <xmp.h>

#include <algorithm>

namespace korvanthe::bench {

namespace {

constexpr int32_t Rate = 44100;

xmp_context context = nullptr;

} // namespace

bool loadXmpSong(const std::vector<char>& bytes) {
    unloadXmpSong();
    context = xmp_create_context();
    if (context == nullptr) {
        return false;
    }
    if (xmp_load_module_from_memory(context, bytes.data(), static_cast<long>(bytes.size())) != 0) {
        xmp_free_context(context);
        context = nullptr;
        return false;
    }
    return true;
}

bool renderXmpSong(int64_t frames, int16_t* chunk, int32_t chunkFrames) {
    if (context == nullptr || xmp_start_player(context, Rate, 0) != 0) { // 16-bit signed stereo
        return false;
    }
    xmp_set_player(context, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
    for (int64_t done = 0; done < frames; done += chunkFrames) {
        const int64_t take = std::min<int64_t>(chunkFrames, frames - done);
        // Loop 0: the song starts over where it ends instead of stopping.
        if (xmp_play_buffer(context, chunk, static_cast<int>(take * 4), 0) != 0) {
            xmp_end_player(context);
            return false;
        }
    }
    xmp_end_player(context);
    return true;
}

void unloadXmpSong() {
    if (context != nullptr) {
        xmp_release_module(context);
        xmp_free_context(context);
        context = nullptr;
    }
}

} // namespace korvanthe::bench
