// The capture's sound as a WAV file: 16-bit stereo PCM at 44100 Hz.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace korvanthe {

inline constexpr int32_t captureSampleRate = 44100;

// Writes interleaved stereo samples (left first) as a canonical 44-byte-header
// WAV file. False, with the reason in error, when it cannot be written.
bool writeWav(const std::string& path, std::span<const int16_t> samples, std::string& error);

} // namespace korvanthe
