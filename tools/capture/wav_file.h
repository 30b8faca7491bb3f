// The capture's sound as a WAV file: 16-bit stereo PCM at 44100 Hz, written
// by the tools' shared WAV writer.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "host/frame_clock.h"
#include "tools/wav/wav_writer.h"

namespace korvanthe {

// The rate the frames were timed for, so that picture and sound stay together.
inline constexpr int32_t CaptureSampleRate = FrameClockSampleRate;

// Writes interleaved stereo samples (left first) as a canonical 44-byte-header
// WAV file. False, with the reason in error, when it cannot be written or is
// longer than a WAV file can say.
inline bool writeWav(const std::string& path, std::span<const int16_t> samples,
                     std::string& error) {
    return writeWavFile(path, CaptureSampleRate, samples, error);
}

} // namespace korvanthe
