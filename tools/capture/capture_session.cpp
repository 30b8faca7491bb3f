#include "tools/capture/capture_session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "audio/block_streaming.h"
#include "audio/offline_render.h"
#include "audio/output_settings.h"
#include "audio/player.h"
#include "host/frame_clock.h"
#include "host/main_sequence.h"
#include "host/stretch_start.h"
#include "host/window.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "platform/headless/egl_window.h"
#include "platform/headless/headless_audio.h"
#include "platform/headless/virtual_clock.h"
#include "tools/capture/png_file.h"
#include "tools/capture/wav_file.h"

namespace korvanthe {

namespace {

constexpr int64_t ProgressEverySeconds = 5;

std::string framePath(const std::string& folder, int64_t frame) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%06lld.png", static_cast<long long>(frame));
    return folder + name;
}

// Plays the virtual device on to sound frame `target`, in steps of at most
// one block, and lets the streaming thread catch up after each step as it
// would in real time: it has seen the new position and refilled the ring
// behind it once it has asked for the position twice more. Without a loop
// playing (no song, no device) the time passes in silence.
void playSoundTo(CaptureSession& session, int64_t target) {
    const int64_t step = std::max<int64_t>(1, outputSettings.blockFrames);
    while (session.soundFramesPlayed < target) {
        const int64_t count = std::min(step, target - session.soundFramesPlayed);
        bool played = false;
        if (headlessAudioLooping()) {
            const uint64_t queries = headlessAudioPositionQueries();
            played = playHeadlessAudio(static_cast<uint32_t>(count));
            while (played && headlessAudioPositionQueries() < queries + 2 &&
                   !threadFinished.load()) {
                std::this_thread::yield();
            }
        }
        if (played) {
            const std::vector<int16_t> chunk = takeHeadlessAudioPlayed();
            session.sound.insert(session.sound.end(), chunk.begin(), chunk.end());
        } else {
            session.sound.resize(session.sound.size() + static_cast<size_t>(count) * 2, 0);
        }
        session.soundFramesPlayed += count;
    }
}

void beforeFrame(CaptureSession& session, int64_t frame) {
    playSoundTo(session, stretchDeviceFrame(session.firstFrame, frame, session.options.fps));
    setVirtualMilliseconds(clockOfVideoFrame(session.firstFrame + frame, session.options.fps));
}

bool storeFrame(CaptureSession& session, int64_t frame) {
    std::vector<uint32_t> pixels;
    readPixels(pixels);
    if (pixels.size() != static_cast<size_t>(HeadlessWidth) * HeadlessHeight) {
        session.error = "no picture to read back from the offscreen context";
        return false;
    }
    std::string reason;
    if (writesVideo(session.options)) {
        if (!sendVideoFrame(session.encoder, pixels, reason)) {
            session.error = reason;
            return false;
        }
    } else {
        const std::string path = framePath(session.options.output, frame);
        if (!writePng(path, pixels, HeadlessWidth, HeadlessHeight, reason)) {
            session.error = path + ": " + reason;
            return false;
        }
    }
    return true;
}

void afterFrame(CaptureSession& session, int64_t frame) {
    const int fps = session.options.fps;
    const bool stored = session.error.empty() && storeFrame(session, frame);
    if (stored) {
        ++session.framesWritten;
        if (session.framesWritten % (fps * ProgressEverySeconds) == 0) {
            std::fprintf(stderr, "korvanthe-capture: %.1f of %.1f s\n",
                         static_cast<double>(session.framesWritten) / fps,
                         static_cast<double>(session.frameCount) / fps);
        }
    }
    if (!stored || session.framesWritten >= session.frameCount) {
        // The sound runs to the end of the last frame's time, so picture and
        // sound end together.
        if (stored) {
            playSoundTo(session,
                        stretchDeviceFrame(session.firstFrame, session.frameCount, fps));
        }
        // A held Escape ends the frame loop at the next pump.
        injectKey(KeyEscape, true);
    }
}

} // namespace

double songSeconds(const std::string& songPath) {
    useStandardFileCallbacks();
    Module* module = createModule(songPath.c_str());
    if (module == nullptr) {
        return 0;
    }
    const SongLength length = measureSongLength(module, CaptureSampleRate, 1);
    freeModule(module);
    return static_cast<double>(std::max<int64_t>(length.frames, 0)) / CaptureSampleRate;
}

bool findCaptureStretch(const std::string& songPath, const CaptureOptions& options,
                        int64_t& firstFrame, int64_t& frameCount, std::string& reason) {
    useStandardFileCallbacks();
    Module* module = createModule(songPath.c_str());
    if (module == nullptr) {
        reason = std::string(songFileName) + " does not load, so it has no positions";
        return false;
    }
    bool started = false;
    const PositionRefusal refusal = startOfflineRenderBetween(
        module, CaptureSampleRate, 1, options.hasFrom ? options.from : SongPosition{},
        options.hasTo ? &options.to : nullptr, true, &started);
    const OfflineStretch stretch = offlineStretch();
    const SongMap map = offlineSongMap();
    stopOfflineRender();
    if (!started) {
        const SongPosition& position =
            !options.hasTo || songPositionFrame(map, *module, options.from, &firstFrame) !=
                                  PositionRefusal::None
                ? options.from
                : options.to;
        reason = std::string(&position == &options.from ? "--from " : "--to ") +
                 describeSongPosition(position) + ": " +
                 (refusal == PositionRefusal::None && options.hasTo
                      ? "comes no later than --from"
                      : describePositionRefusal(map, *module, position, refusal));
        freeModule(module);
        return false;
    }
    freeModule(module);
    const int fps = options.fps;
    firstFrame = firstVideoFrameAtOrAfter(stretch.firstFrame, fps);
    int64_t endFrame = 0;
    if (options.hasTo) {
        endFrame = firstVideoFrameAtOrAfter(stretch.endFrame, fps);
    } else if (options.seconds > 0) {
        endFrame = firstFrame + std::llround(options.seconds * static_cast<double>(fps));
    } else {
        // Where the whole capture ends.
        endFrame = std::llround(static_cast<double>(stretch.endFrame) / CaptureSampleRate *
                                static_cast<double>(fps));
    }
    frameCount = std::max<int64_t>(1, endFrame - firstFrame);
    return true;
}

bool runCapture(CaptureSession& session) {
    // Time stands still until the frames move it.
    setVirtualMilliseconds(FrameClockOriginMilliseconds);
    resetHeadlessWindowSystem();
    MainSequenceHooks hooks;
    hooks.beforeFrame = [&session](int64_t frame) { beforeFrame(session, frame); };
    hooks.afterFrame = [&session](int64_t frame) { afterFrame(session, frame); };
    addStretchStart(hooks, session.firstFrame, session.options.fps);
    runMainSequence(hooks, session.files);
    if (session.error.empty() && session.framesWritten == 0) {
        session.error = "no frame was drawn (no offscreen OpenGL context)";
    }
    return session.error.empty();
}

} // namespace korvanthe
