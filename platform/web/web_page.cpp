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
//
// Started at a position (index.html?at=12:32, ?t=98.5), the page runs author
// mode's way (host/author_mode.h): the song moves there exactly and the
// timeline follows it, and the page hands on author mode's keys
// (korvanthe_key). Frame by frame from a position it starts as
// korvanthe-capture --from does (host/stretch_start.h), so that its frame k
// is the stretch capture's frame k.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "audio/block_streaming.h"
#include "audio/output_settings.h"
#include "audio/player.h"
#include "host/author_mode.h"
#include "host/frame_clock.h"
#include "host/main_sequence.h"
#include "host/stretch_start.h"
#include "host/window.h"
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
// The frame of the run from the start that the frame by frame mode's frame 0
// is (0 unless started at a position).
int64_t stretchFirstFrame = 0;

// The sound heard on to the frame's moment, a block at a time, each followed
// by the refill the streaming thread would make; then the clock moves to the
// frame.
void moveTimeToFrame(int64_t frame) {
    const auto target = static_cast<uint64_t>(
        korvanthe::stretchDeviceFrame(stretchFirstFrame, frame, frameByFrameFps));
    const auto step = static_cast<uint64_t>(
        korvanthe::outputSettings.blockFrames > 0 ? korvanthe::outputSettings.blockFrames : 1);
    const uint32_t milliseconds = korvanthe::webVirtualMilliseconds();
    for (uint64_t heard = korvanthe::webVirtualHeardFrames(); heard < target;
         heard = korvanthe::webVirtualHeardFrames()) {
        korvanthe::setWebVirtualTime(milliseconds, heard + std::min(step, target - heard));
        korvanthe::refillStreaming();
    }
    korvanthe::setWebVirtualTime(
        korvanthe::clockOfVideoFrame(stretchFirstFrame + frame, frameByFrameFps),
        korvanthe::webVirtualHeardFrames());
}

// A start position as the page's query gives it, in the tools' forms
// (audio/song_position.h); false, told on stderr, for anything else.
bool readStart(const char* text, korvanthe::SongPosition& position) {
    if (text != nullptr && korvanthe::parseSongPosition(text, position)) {
        return true;
    }
    std::fprintf(stderr,
                 "korvanthe: start '%s': not a position (ORDER, ORDER:ROW, M:SS.s or "
                 "seconds such as 83.5s)\n",
                 text != nullptr ? text : "");
    return false;
}

// The sequence has ended, in either mode: the page may start it again.
void endSequence() {
    korvanthe::finishMainSequence();
    korvanthe::clearWebVirtualTime();
    korvanthe::setAuthorSettings({});
    stretchFirstFrame = 0;
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
    korvanthe::addStretchStart(hooks, stretchFirstFrame, fps);
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

// korvanthe_start at a position (see readStart): author mode's way. 0 when
// the sequence runs; otherwise its exit status (ExitBadStart for a position
// the song lacks, told on stderr).
EMSCRIPTEN_KEEPALIVE int korvanthe_start_at(const char* position) {
    if (started) {
        return 0;
    }
    korvanthe::AuthorSettings settings;
    if (!readStart(position, settings.start)) {
        return korvanthe::ExitBadStart;
    }
    settings.enabled = true;
    settings.hasStart = true;
    settings.onPage = true;
    korvanthe::setAuthorSettings(settings);
    const int status = korvanthe_start();
    if (status != 0) {
        korvanthe::setAuthorSettings({});
    }
    return status;
}

// korvanthe_start_frames from a position: frame 0 is the first frame of the
// run from the start whose moment is at or after it.
EMSCRIPTEN_KEEPALIVE int korvanthe_start_frames_at(int fps, const char* position) {
    if (started || fps < 1) {
        return 1;
    }
    korvanthe::SongPosition start;
    if (!readStart(position, start)) {
        return korvanthe::ExitBadStart;
    }
    std::string reason;
    int64_t firstFrame = 0;
    if (!korvanthe::findStretchFirstFrame(korvanthe::songFileName, start, fps, firstFrame,
                                          reason)) {
        std::fprintf(stderr, "korvanthe: %s: %s\n", korvanthe::songFileName, reason.c_str());
        return korvanthe::ExitBadStart;
    }
    stretchFirstFrame = firstFrame;
    const int status = korvanthe_start_frames(fps);
    if (status != 0) {
        stretchFirstFrame = 0;
    }
    return status;
}

// One of author mode's keys (a virtual-key code), taken at the next frame;
// nothing unless the page was started at a position.
EMSCRIPTEN_KEEPALIVE void korvanthe_key(int key) {
    if (started && korvanthe::authorSettings().enabled && key > 0 &&
        key < static_cast<int>(korvanthe::windowState.keyDown.size())) {
        korvanthe::windowState.keyDown[static_cast<size_t>(key)] = true;
    }
}

EMSCRIPTEN_KEEPALIVE int korvanthe_paused() {
    return korvanthe::playerPaused() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int korvanthe_looping() {
    return korvanthe::playerLooping() ? 1 : 0;
}

// The song time heard, in seconds.
EMSCRIPTEN_KEEPALIVE double korvanthe_song_seconds() {
    const korvanthe::HeardPosition heard = korvanthe::playerHeardPosition();
    return static_cast<double>(heard.songFrame) / korvanthe::FrameClockSampleRate;
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
