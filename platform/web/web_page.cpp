// The demo in a web page: the page's entry points (web/index.html calls
// them). The page calls korvanthe_start once its data are in the virtual
// file system and the user has given the gesture that lets a page make
// sound (or ?autoplay=1 said not to wait); from then on the browser's
// animation frames drive the main sequence one pass each, and the page's
// timers and the sound device's reports refill the ring.
//
// korvanthe_start_frames instead draws frame by frame on the page's word
// (korvanthe_step_frame), in time set by host/frame_clock.h's rule as the
// native capture tool sets it, so that frame k is the capture's frame k: the
// page's tests compare the two.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstdint>

#include "audio/block_streaming.h"
#include "audio/output_settings.h"
#include "audio/player.h"
#include "host/frame_clock.h"
#include "host/main_sequence.h"
#include "platform/audio_output.h"
#include "platform/web/web_page.h"
#include "platform/web/web_virtual_time.h"

namespace {

// Often enough for a two-second ring even when a background tab's timers
// come once a second.
constexpr double RefillMilliseconds = 20;

bool started = false;
long refillTimer = 0;

void refillFromTimer(void*) {
    korvanthe::refillStreaming();
}

// Frames per second of the frame by frame mode; 0 while the browser's
// animation frames drive the sequence. The time itself is kept by
// web_virtual_time, which the clock and the sound output read.
int frameByFrameFps = 0;

// The sound heard on to the frame's moment, a block at a time, each followed
// by the refill the streaming thread would make; then the clock moves to the
// frame.
void moveTimeToFrame(int64_t frame) {
    const auto target =
        static_cast<uint64_t>(korvanthe::soundFrameOfVideoFrame(frame, frameByFrameFps));
    const auto step = static_cast<uint64_t>(
        korvanthe::outputSettings.blockFrames > 0 ? korvanthe::outputSettings.blockFrames : 1);
    const uint32_t milliseconds = korvanthe::webVirtualMilliseconds();
    for (uint64_t heard = korvanthe::webVirtualHeardFrames(); heard < target;
         heard = korvanthe::webVirtualHeardFrames()) {
        korvanthe::setWebVirtualTime(milliseconds, heard + std::min(step, target - heard));
        korvanthe::refillStreaming();
    }
    korvanthe::setWebVirtualTime(korvanthe::clockOfVideoFrame(frame, frameByFrameFps),
                                 korvanthe::webVirtualHeardFrames());
}

// The sequence has ended, in either mode: the page may start it again.
void endSequence() {
    korvanthe::finishMainSequence();
    korvanthe::clearWebVirtualTime();
    started = false;
}

EM_BOOL drawFrame(double, void*) {
    if (korvanthe::stepMainSequence()) {
        return EM_TRUE;
    }
    emscripten_clear_interval(refillTimer);
    endSequence();
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

// Frame by frame at fps frames per second: draws frame 0; 0 when it runs,
// else the sequence's exit status.
EMSCRIPTEN_KEEPALIVE int korvanthe_start_frames(int fps) {
    if (started || fps < 1) {
        return 1;
    }
    frameByFrameFps = fps;
    korvanthe::setWebVirtualTime(korvanthe::FrameClockOriginMilliseconds, 0);
    korvanthe::MainSequenceHooks hooks;
    hooks.beforeFrame = moveTimeToFrame;
    int status = korvanthe::ExitEnded;
    if (!korvanthe::startMainSequence(status, hooks)) {
        korvanthe::clearWebVirtualTime();
        return status == 0 ? 1 : status;
    }
    started = true;
    return 0;
}

// Draws the next frame of korvanthe_start_frames; 0 once the sequence ended.
EMSCRIPTEN_KEEPALIVE int korvanthe_step_frame() {
    if (!started || frameByFrameFps == 0) {
        return 0;
    }
    if (korvanthe::stepMainSequence()) {
        return 1;
    }
    endSequence();
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

// Frames of the blocks the song is rendered and stamped in.
EMSCRIPTEN_KEEPALIVE int korvanthe_block_frames() {
    return korvanthe::outputSettings.blockFrames;
}

} // extern "C"

namespace korvanthe {

int runWebPage() {
    return 0;
}

} // namespace korvanthe
