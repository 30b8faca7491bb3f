#include <SDL.h>

#include <atomic>

#if defined(__linux__)
#include <dlfcn.h>
#endif

#include "platform/audio_output.h"
#include "platform/sdl2/loop_copy.h"
#include "platform/sdl2/pulse_output.h"

namespace korvanthe {

namespace {

// Where a PulseAudio (or PipeWire) server runs, the loop plays through a
// stream of our own (pulse_output.h), whose clock tells what has been heard.
// Elsewhere SDL plays it: its audio callback copies the buffer out at a
// cursor that wraps at its end. What the callback copies is heard only after
// the buffer it fills has been played, so the play position is the byte
// count the callback has consumed less that one buffer; a server or device
// latency behind SDL is unknown there and not counted. Loop, cursor and count
// change only with the device locked, so the callback never sees them
// half-changed.
struct SdlAudioDevice {
    SDL_AudioDeviceID id = 0;
    uint32_t deviceBufferBytes = 0;      // what SDL asks the callback for each time
    const uint8_t* loopBuffer = nullptr; // null: the callback plays silence
    uint32_t loopBytes = 0;
    uint32_t cursorBytes = 0;
    std::atomic<uint64_t> consumedBytes{0};
    std::atomic<bool> looping{false};
    bool paused = false; // pauseAudioOutput's setting, kept across loops
};

SdlAudioDevice device;

void SDLCALL fillAudio(void*, Uint8* stream, int length) {
    copyFromLoop(stream, static_cast<size_t>(length), device.loopBuffer, device.loopBytes,
                 device.cursorBytes);
    device.consumedBytes.fetch_add(static_cast<uint64_t>(length));
}

#if defined(__linux__)
// ALSA reports every step of a failed device search on stderr ("ALSA lib
// confmisc.c:855:(parse_card) cannot find card '0'", eight lines on a machine
// without sound), before we can say "no audio device" once. Its error handler
// is the one switch for that output, and it is library-wide, so it is set in
// the libasound that SDL uses: dlopen gives the already loaded copy (or loads
// the one SDL will load), and a machine without ALSA simply has nothing to
// quieten. Only the open is quietened: errors while playing still show. The
// handle stays open, so the library cannot go away while it holds our handler.
using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
using SetAlsaErrorHandler = int (*)(AlsaErrorHandler);

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

SetAlsaErrorHandler alsaErrorSwitch() {
    static const SetAlsaErrorHandler found = [] {
        void* alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
        return alsa != nullptr
                   ? reinterpret_cast<SetAlsaErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler"))
                   : nullptr;
    }();
    return found;
}

// While it lives, ALSA's error messages go nowhere.
struct QuietAlsa {
    QuietAlsa() {
        if (alsaErrorSwitch() != nullptr) {
            alsaErrorSwitch()(ignoreAlsaError);
        }
    }
    ~QuietAlsa() {
        if (alsaErrorSwitch() != nullptr) {
            alsaErrorSwitch()(nullptr); // ALSA's own handler, which prints
        }
    }
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;
};
#else
struct QuietAlsa {};
#endif

} // namespace

bool openAudioOutput(int32_t sampleRate) {
    closeAudioOutput();
    if (openPulseOutput(sampleRate)) {
        return true;
    }
    [[maybe_unused]] const QuietAlsa quiet;
    if (sampleRate <= 0 || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = sampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = fillAudio;
    // No changes allowed: SDL converts to whatever the hardware takes, so the
    // loop is always 16-bit stereo at our rate.
    SDL_AudioSpec obtained{};
    device.id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device.id == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    device.deviceBufferBytes = obtained.size;
    device.paused = false;
    return true;
}

bool audioOutputIsOpen() {
    return device.id != 0 || pulseOutputIsOpen();
}

bool startAudioLoop(const int16_t* buffer, uint32_t byteCount) {
    if (pulseOutputIsOpen()) {
        return startPulseLoop(reinterpret_cast<const uint8_t*>(buffer), byteCount);
    }
    if (device.id == 0 || buffer == nullptr || byteCount < 4 || byteCount % 4 != 0) {
        return false;
    }
    SDL_LockAudioDevice(device.id);
    device.loopBuffer = reinterpret_cast<const uint8_t*>(buffer);
    device.loopBytes = byteCount;
    device.cursorBytes = 0;
    device.consumedBytes.store(0);
    device.looping.store(true);
    SDL_UnlockAudioDevice(device.id);
    SDL_PauseAudioDevice(device.id, device.paused ? 1 : 0);
    return true;
}

bool audioPlayPositionBytes(uint64_t* bytes) {
    if (pulseOutputIsOpen()) {
        return pulseHeardBytes(bytes);
    }
    if (!device.looping.load()) {
        return false;
    }
    // The count only grows while the loop plays, so neither does this go back.
    const uint64_t consumed = device.consumedBytes.load();
    *bytes = consumed > device.deviceBufferBytes ? consumed - device.deviceBufferBytes : 0;
    return true;
}

bool audioTakenBytes(uint64_t* bytes) {
    if (pulseOutputIsOpen()) {
        return pulseTakenBytes(bytes);
    }
    if (!device.looping.load()) {
        return false;
    }
    *bytes = device.consumedBytes.load();
    return true;
}

void audioLoopWritten(uint32_t, uint32_t) {}

void pauseAudioOutput(bool paused) {
    if (pulseOutputIsOpen()) {
        pausePulseOutput(paused);
        return;
    }
    if (device.id == 0) {
        return;
    }
    device.paused = paused;
    // SDL stops calling back while paused, so the count, and with it the
    // position, stands still; the callback's cursor keeps its place.
    if (device.looping.load()) {
        SDL_PauseAudioDevice(device.id, paused ? 1 : 0);
    }
}

bool audioOutputPaused() {
    return pulseOutputIsOpen() ? pulseOutputPaused() : device.id != 0 && device.paused;
}

void resetAudioOutput() {
    if (pulseOutputIsOpen()) {
        resetPulseOutput();
        return;
    }
    if (device.id == 0) {
        return;
    }
    SDL_PauseAudioDevice(device.id, 1);
    // Taking the lock waits for a callback that is copying to finish.
    SDL_LockAudioDevice(device.id);
    device.looping.store(false);
    device.loopBuffer = nullptr;
    device.loopBytes = 0;
    device.cursorBytes = 0;
    device.consumedBytes.store(0);
    SDL_UnlockAudioDevice(device.id);
}

void closeAudioOutput() {
    closePulseOutput();
    if (device.id == 0) {
        return;
    }
    resetAudioOutput();
    SDL_CloseAudioDevice(device.id);
    device.id = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

} // namespace korvanthe
