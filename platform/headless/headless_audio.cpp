#include "platform/headless/headless_audio.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/audio_output.h"

namespace korvanthe {

namespace {

struct HeadlessAudioDevice {
    std::mutex lock; // guards everything but the atomics
    bool open = false;
    int32_t sampleRate = 0;
    const int16_t* loopBuffer = nullptr; // null: no loop plays
    uint32_t loopBytes = 0;
    uint32_t cursorBytes = 0; // where the next played frame starts in the buffer
    std::vector<int16_t> played;
    std::atomic<bool> present{true};
    std::atomic<bool> refusesLoop{false};
    std::atomic<bool> looping{false};
    std::atomic<bool> paused{false};
    std::atomic<uint64_t> positionBytes{0};
    std::atomic<uint64_t> positionQueries{0};
};

HeadlessAudioDevice device;

void stopLoopLocked() {
    device.looping.store(false);
    device.loopBuffer = nullptr;
    device.loopBytes = 0;
    device.cursorBytes = 0;
    device.positionBytes.store(0);
}

} // namespace

bool openAudioOutput(int32_t sampleRate) {
    closeAudioOutput();
    if (!device.present.load() || sampleRate <= 0) {
        return false;
    }
    std::lock_guard guard(device.lock);
    device.open = true;
    device.sampleRate = sampleRate;
    device.played.clear();
    device.paused.store(false);
    return true;
}

bool audioOutputIsOpen() {
    std::lock_guard guard(device.lock);
    return device.open;
}

bool startAudioLoop(const int16_t* buffer, uint32_t byteCount) {
    std::lock_guard guard(device.lock);
    if (!device.open || buffer == nullptr || byteCount < 4 || byteCount % 4 != 0 ||
        device.refusesLoop.load()) {
        return false;
    }
    stopLoopLocked();
    device.loopBuffer = buffer;
    device.loopBytes = byteCount;
    device.looping.store(true);
    return true;
}

bool audioPlayPositionBytes(uint64_t* bytes) {
    // Counted before the answer, so that a caller who sees the count grow by
    // two knows that the asker has finished acting on one answer it got
    // after the position moved.
    device.positionQueries.fetch_add(1);
    if (!device.looping.load()) {
        return false;
    }
    *bytes = device.positionBytes.load();
    return true;
}

bool audioTakenBytes(uint64_t* bytes) {
    // The virtual device takes each frame as it plays it.
    if (!device.looping.load()) {
        return false;
    }
    *bytes = device.positionBytes.load();
    return true;
}

void audioLoopWritten(uint32_t, uint32_t) {}

void pauseAudioOutput(bool paused) {
    std::lock_guard guard(device.lock);
    if (device.open) {
        device.paused.store(paused);
    }
}

bool audioOutputPaused() {
    return device.paused.load();
}

void resetAudioOutput() {
    std::lock_guard guard(device.lock);
    stopLoopLocked();
}

void closeAudioOutput() {
    std::lock_guard guard(device.lock);
    stopLoopLocked();
    device.open = false;
    device.sampleRate = 0;
    device.paused.store(false);
}

void setHeadlessAudioPresent(bool present) {
    device.present.store(present);
}

void setHeadlessAudioRefusesLoop(bool refuses) {
    device.refusesLoop.store(refuses);
}

int32_t headlessAudioSampleRate() {
    std::lock_guard guard(device.lock);
    return device.sampleRate;
}

bool headlessAudioLooping() {
    return device.looping.load();
}

bool playHeadlessAudio(uint32_t frameCount) {
    std::lock_guard guard(device.lock);
    if (device.loopBuffer == nullptr || device.paused.load()) {
        return false;
    }
    const uint32_t sampleCount = device.loopBytes / 2;
    uint32_t sample = device.cursorBytes / 2;
    // Appended in runs up to the loop's end; the record grows geometrically
    // however small the steps (a reserve of just what each step needs would
    // copy it all every time).
    for (uint32_t left = frameCount * 2; left > 0;) {
        const uint32_t run = std::min(left, sampleCount - sample);
        device.played.insert(device.played.end(), device.loopBuffer + sample,
                             device.loopBuffer + sample + run);
        left -= run;
        sample = sample + run == sampleCount ? 0 : sample + run;
    }
    device.cursorBytes = sample * 2;
    // Published after the copy: the streaming thread rewrites what lies
    // behind the position only once it has seen the position move past it.
    device.positionBytes.fetch_add(static_cast<uint64_t>(frameCount) * 4);
    return true;
}

std::vector<int16_t> takeHeadlessAudioPlayed() {
    std::lock_guard guard(device.lock);
    std::vector<int16_t> result;
    result.swap(device.played);
    return result;
}

uint64_t headlessAudioPositionQueries() {
    return device.positionQueries.load();
}

} // namespace korvanthe
