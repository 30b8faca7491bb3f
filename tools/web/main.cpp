// The demo in a web page. The page calls korvanthe_start once its data are
// in the virtual file system and the user has given the gesture that lets a
// page make sound (or ?autoplay=1 said not to wait); from then on the
// browser's animation frames drive the main sequence one pass each, and the
// page's timers and the sound output's own callbacks refill the ring.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>

#include "audio/block_streaming.h"
#include "audio/player.h"
#include "host/main_sequence.h"
#include "platform/audio_output.h"

namespace {

// Often enough for a two-second ring even when a background tab's timers
// come once a second.
constexpr double RefillMilliseconds = 20;

bool started = false;
long refillTimer = 0;

void refillFromTimer(void*) {
    korvanthe::refillStreaming();
}

EM_BOOL drawFrame(double, void*) {
    if (korvanthe::stepMainSequence()) {
        return EM_TRUE;
    }
    emscripten_clear_interval(refillTimer);
    korvanthe::finishMainSequence();
    started = false;
    return EM_FALSE;
}

} // namespace

extern "C" {

// 0 when the sequence runs; otherwise its exit status.
EMSCRIPTEN_KEEPALIVE int korvanthe_start() {
    if (started) {
        return 0;
    }
    int status = korvanthe::ExitEnded;
    if (!korvanthe::startMainSequence(status)) {
        return status == 0 ? 1 : status;
    }
    started = true;
    refillTimer = emscripten_set_interval(refillFromTimer, RefillMilliseconds, nullptr);
    emscripten_request_animation_frame_loop(drawFrame, nullptr);
    return 0;
}

EMSCRIPTEN_KEEPALIVE void korvanthe_refill() {
    korvanthe::refillStreaming();
}

EMSCRIPTEN_KEEPALIVE int korvanthe_order() {
    return korvanthe::playerCurrentOrder();
}

EMSCRIPTEN_KEEPALIVE int korvanthe_row() {
    return korvanthe::playerCurrentRow();
}

// Frames the listener has heard since the song started.
EMSCRIPTEN_KEEPALIVE double korvanthe_frames_played() {
    uint64_t bytes = 0;
    return korvanthe::audioPlayPositionBytes(&bytes) ? static_cast<double>(bytes / 4) : 0.0;
}

EMSCRIPTEN_KEEPALIVE double korvanthe_frames_drawn() {
    return static_cast<double>(korvanthe::mainSequenceFramesDrawn());
}

} // extern "C"

// Nothing starts before the page says so.
int main() {
    return 0;
}
