#include "tools/capture/wav_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace korvanthe {

namespace {

void putLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void putText(std::vector<uint8_t>& bytes, const char* text) {
    bytes.insert(bytes.end(), text, text + std::strlen(text));
}

} // namespace

bool writeWav(const std::string& path, std::span<const int16_t> samples, std::string& error) {
    // A RIFF size field holds 32 bits; more than about 6 hours of sound do not fit.
    const uint64_t dataBytes = static_cast<uint64_t>(samples.size()) * 2;
    if (dataBytes > 0xFFFFFFFFull - 36) {
        error = "too long for a WAV file";
        return false;
    }
    std::vector<uint8_t> bytes;
    putText(bytes, "RIFF");
    putLittleEndian(bytes, static_cast<uint32_t>(36 + dataBytes), 4);
    putText(bytes, "WAVEfmt ");
    putLittleEndian(bytes, 16, 4);                    // fmt chunk size
    putLittleEndian(bytes, 1, 2);                     // PCM
    putLittleEndian(bytes, 2, 2);                     // channels
    putLittleEndian(bytes, captureSampleRate, 4);     // frames per second
    putLittleEndian(bytes, captureSampleRate * 4, 4); // bytes per second
    putLittleEndian(bytes, 4, 2);                     // bytes per frame
    putLittleEndian(bytes, 16, 2);                    // bits per sample
    putText(bytes, "data");
    putLittleEndian(bytes, static_cast<uint32_t>(dataBytes), 4);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    // The samples go out in chunks: a long capture's sound is large already.
    constexpr size_t chunkSamples = 65536;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    for (size_t done = 0; written && done < samples.size(); done += chunkSamples) {
        bytes.clear();
        for (const int16_t sample :
             samples.subspan(done, std::min(chunkSamples, samples.size() - done))) {
            putLittleEndian(bytes, static_cast<uint16_t>(sample), 2);
        }
        written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    const int savedErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = std::strerror(written ? errno : savedErrno);
        return false;
    }
    return true;
}

} // namespace korvanthe
