// WAV files of 16-bit stereo PCM, the one format the tools write.
//
// The header goes out first and is final: the caller says how many frames
// follow before the first is written, so the file never needs a seek and
// standard output (a pipe) takes it as well as a file does. A length that
// does not fit the 32-bit RIFF sizes is refused before anything is written.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace korvanthe {

inline constexpr size_t WavHeaderBytes = 44;
inline constexpr uint32_t WavBytesPerFrame = 4; // 16-bit left, 16-bit right

// What the writer gathers before it hands bytes to the file: one system call
// per quarter megabyte. Through stdio's own buffer (4 KiB here) a long render
// spent about as much time in the system's writes as in mixing.
inline constexpr size_t WavWriteBytes = 256 * 1024;

// The RIFF size field holds 36 + the data bytes in 32 bits: 1,073,741,814
// frames at most, 6:45:47 at 44100 Hz.
inline constexpr uint64_t WavMostFrames = (0xFFFFFFFFull - 36) / WavBytesPerFrame;

// Whether a file of `frames` frames can be written.
constexpr bool wavFramesFit(uint64_t frames) {
    return frames <= WavMostFrames;
}

// The reason given for a length that does not fit, naming the longest
// duration at sampleRate: "too long for a WAV file (at most 6:45:47 at 44100 Hz)".
std::string wavTooLongReason(int32_t sampleRate);

// The canonical 44-byte header of `frames` frames at sampleRate. Requires
// wavFramesFit(frames).
std::array<uint8_t, WavHeaderBytes> wavHeader(int32_t sampleRate, uint64_t frames);

// Writes one WAV file whose length is known up front. Every failure leaves
// a one-line reason in error(); the file is closed when the writer goes.
// The bytes go out WavWriteBytes at a time: a failure to write may so show
// only at a later write or at finish.
class WavWriter {
  public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates path ("-" is standard output, switched to binary where that
    // matters) and writes the header of `frames` frames. False, creating
    // nothing, when the length does not fit.
    bool open(const std::string& path, int32_t sampleRate, uint64_t frames);

    // Appends interleaved stereo frames, left first. False when the file
    // cannot take them or they go past the promised length.
    bool write(const int16_t* samples, uint64_t frames);

    // Where the next `frames` frames (at most WavWriteBytes / 4) may be put
    // in place, to be appended by commit: what a caller producing the frames
    // itself saves in copying them. Null after a failure (error() says why).
    // The room lasts until the next call of the writer.
    int16_t* reserve(uint64_t frames);

    // Appends `frames` frames put at reserve's room (at most as many as it
    // was asked for), as write would.
    bool commit(uint64_t frames);

    // Flushes and closes. False when a write failed on the way or fewer
    // frames came than the header promised.
    bool finish();

    const std::string& error() const { return error_; }

  private:
    bool fail(const std::string& reason);
    bool flushGathered();
    void close();

    FILE* file_ = nullptr;
    std::unique_ptr<uint8_t[]> gathered_; // WavWriteBytes
    size_t gatheredBytes_ = 0;
    bool ownsFile_ = false; // false for standard output
    uint64_t promisedFrames_ = 0;
    uint64_t writtenFrames_ = 0;
    std::string error_;
};

// Writes a whole file at once: interleaved stereo samples, left first.
// False, with the reason in error, when it cannot be written.
bool writeWavFile(const std::string& path, int32_t sampleRate, std::span<const int16_t> samples,
                  std::string& error);

} // namespace korvanthe
