// Sound output through waveOut: the default wave device (WAVE_MAPPER) plays
// the caller's buffer through one header that loops it without end, and the
// play position is the device's byte count.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include <atomic>
#include <mutex>

#include "platform/audio_output.h"

namespace korvanthe {

namespace {

struct WaveDevice {
    HWAVEOUT handle = nullptr;
    int32_t sampleRate = 0;
    WAVEHDR ringHeader{};
    std::atomic<bool> looping{false}; // read by the streaming thread
    bool paused = false;              // pauseAudioOutput's setting, kept across loops
    // The device counts in 32 bits (about 6.7 hours at 44100 Hz); the count
    // is widened to 64 bits by noticing when it wraps.
    std::mutex positionLock;
    uint32_t lastDeviceBytes = 0;
    uint64_t wrappedBytes = 0;
};

WaveDevice device;

void forgetPosition() {
    std::lock_guard guard(device.positionLock);
    device.lastDeviceBytes = 0;
    device.wrappedBytes = 0;
}

// The position in bytes from whatever unit the device answered in.
bool positionInBytes(const MMTIME& time, uint32_t* bytes) {
    switch (time.wType) {
    case TIME_BYTES:
        *bytes = time.u.cb;
        return true;
    case TIME_SAMPLES:
        *bytes = time.u.sample * 4u;
        return true;
    case TIME_MS:
        *bytes = static_cast<uint32_t>(static_cast<uint64_t>(time.u.ms) *
                                       static_cast<uint64_t>(device.sampleRate) / 1000u * 4u);
        return true;
    default:
        return false;
    }
}

} // namespace

bool openAudioOutput(int32_t sampleRate) {
    closeAudioOutput();
    if (sampleRate <= 0) {
        return false;
    }
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    format.nAvgBytesPerSec = static_cast<DWORD>(sampleRate) * 4;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    HWAVEOUT handle = nullptr;
    if (waveOutOpen(&handle, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        return false;
    }
    device.handle = handle;
    device.sampleRate = sampleRate;
    device.paused = false;
    return true;
}

bool audioOutputIsOpen() {
    return device.handle != nullptr;
}

bool startAudioLoop(const int16_t* buffer, uint32_t byteCount) {
    if (device.handle == nullptr || buffer == nullptr || byteCount < 4 || byteCount % 4 != 0) {
        return false;
    }
    // A loop that plays is stopped first; the reset also puts the device's
    // position back to 0.
    resetAudioOutput();
    WAVEHDR& header = device.ringHeader;
    header = WAVEHDR{};
    // The device only reads the buffer.
    header.lpData = reinterpret_cast<LPSTR>(const_cast<int16_t*>(buffer));
    header.dwBufferLength = byteCount;
    header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header.dwLoops = 0xFFFFFFFF;
    if (waveOutPrepareHeader(device.handle, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        header = WAVEHDR{};
        return false;
    }
    forgetPosition();
    // A paused device takes the header but plays it only after waveOutRestart.
    if (device.paused) {
        waveOutPause(device.handle);
    }
    if (waveOutWrite(device.handle, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        waveOutUnprepareHeader(device.handle, &header, sizeof(WAVEHDR));
        header = WAVEHDR{};
        return false;
    }
    device.looping = true;
    return true;
}

bool audioPlayPositionBytes(uint64_t* bytes) {
    if (!device.looping) {
        return false;
    }
    MMTIME time{};
    time.wType = TIME_BYTES;
    uint32_t deviceBytes = 0;
    if (waveOutGetPosition(device.handle, &time, sizeof(MMTIME)) != MMSYSERR_NOERROR ||
        !positionInBytes(time, &deviceBytes)) {
        return false;
    }
    std::lock_guard guard(device.positionLock);
    if (deviceBytes < device.lastDeviceBytes) {
        device.wrappedBytes += uint64_t{1} << 32;
    }
    device.lastDeviceBytes = deviceBytes;
    *bytes = device.wrappedBytes + deviceBytes;
    return true;
}

// The driver reads the buffer a little ahead of what it plays, how far it
// does not say; a rewrite this far ahead of the play position is always heard.
constexpr uint32_t DriverReadAheadMilliseconds = 100;

bool audioTakenBytes(uint64_t* bytes) {
    uint64_t played = 0;
    if (!audioPlayPositionBytes(&played)) {
        return false;
    }
    *bytes = played + uint64_t{static_cast<uint32_t>(device.sampleRate)} *
                          DriverReadAheadMilliseconds / 1000 * 4;
    return true;
}

void audioLoopWritten(uint32_t, uint32_t) {}

void pauseAudioOutput(bool paused) {
    if (device.handle == nullptr || paused == device.paused) {
        return;
    }
    device.paused = paused;
    // The device's position stands still while it is paused.
    if (paused) {
        waveOutPause(device.handle);
    } else {
        waveOutRestart(device.handle);
    }
}

bool audioOutputPaused() {
    return device.handle != nullptr && device.paused;
}

void resetAudioOutput() {
    if (device.handle == nullptr) {
        return;
    }
    // The reset returns the header to us; only then may it be unprepared.
    waveOutReset(device.handle);
    if (device.ringHeader.dwFlags & WHDR_PREPARED) {
        waveOutUnprepareHeader(device.handle, &device.ringHeader, sizeof(WAVEHDR));
        device.ringHeader.dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
    }
    device.looping = false;
    forgetPosition();
}

void closeAudioOutput() {
    if (device.handle == nullptr) {
        return;
    }
    resetAudioOutput();
    waveOutClose(device.handle);
    device.handle = nullptr;
    device.sampleRate = 0;
    device.paused = false;
}

} // namespace korvanthe
