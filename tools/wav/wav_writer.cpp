#include "tools/wav/wav_writer.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace korvanthe {

namespace {

void putLittleEndian(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// `bytes` bytes of 16-bit samples from source to target in the file's byte
// order, little endian; source may be target itself.
void storeLittleEndian(uint8_t* target, const uint8_t* source, size_t bytes) {
    if constexpr (std::endian::native == std::endian::little) {
        if (target != source) {
            std::memcpy(target, source, bytes); // the file's byte order already
        }
    } else {
        for (size_t i = 0; i < bytes; i += 2) {
            uint16_t sample = 0;
            std::memcpy(&sample, source + i, 2);
            putLittleEndian(target + i, sample, 2);
        }
    }
}

std::string errnoText(const char* fallback) {
    return errno != 0 ? std::strerror(errno) : fallback;
}

} // namespace

std::string wavTooLongReason(int32_t sampleRate) {
    const uint64_t seconds = sampleRate > 0 ? WavMostFrames / static_cast<uint64_t>(sampleRate) : 0;
    char text[96];
    std::snprintf(text, sizeof text,
                  "too long for a WAV file (at most %llu:%02llu:%02llu at %d Hz)",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned long long>(seconds / 60 % 60),
                  static_cast<unsigned long long>(seconds % 60), sampleRate);
    return text;
}

std::array<uint8_t, WavHeaderBytes> wavHeader(int32_t sampleRate, uint64_t frames) {
    const auto dataBytes = static_cast<uint32_t>(frames * WavBytesPerFrame);
    const auto rate = static_cast<uint32_t>(sampleRate);
    std::array<uint8_t, WavHeaderBytes> header{};
    uint8_t* at = header.data();
    std::memcpy(at, "RIFF", 4);
    putLittleEndian(at + 4, 36 + dataBytes, 4);
    std::memcpy(at + 8, "WAVEfmt ", 8);
    putLittleEndian(at + 16, 16, 4);                      // fmt chunk size
    putLittleEndian(at + 20, 1, 2);                       // PCM
    putLittleEndian(at + 22, 2, 2);                       // channels
    putLittleEndian(at + 24, rate, 4);                    // frames per second
    putLittleEndian(at + 28, rate * WavBytesPerFrame, 4); // bytes per second
    putLittleEndian(at + 32, WavBytesPerFrame, 2);        // bytes per frame
    putLittleEndian(at + 34, 16, 2);                      // bits per sample
    std::memcpy(at + 36, "data", 4);
    putLittleEndian(at + 40, dataBytes, 4);
    return header;
}

WavWriter::~WavWriter() {
    close();
}

bool WavWriter::fail(const std::string& reason) {
    if (error_.empty()) {
        error_ = reason;
    }
    return false;
}

void WavWriter::close() {
    if (file_ != nullptr && ownsFile_) {
        std::fclose(file_);
    }
    file_ = nullptr;
    gatheredBytes_ = 0;
}

bool WavWriter::flushGathered() {
    errno = 0;
    const size_t size = gatheredBytes_;
    gatheredBytes_ = 0;
    if (size > 0 && std::fwrite(gathered_.get(), 1, size, file_) != size) {
        return fail("cannot write: " + errnoText("write failed"));
    }
    return true;
}

bool WavWriter::open(const std::string& path, int32_t sampleRate, uint64_t frames) {
    close();
    error_.clear();
    promisedFrames_ = frames;
    writtenFrames_ = 0;
    if (sampleRate < 1) {
        return fail("no sample rate");
    }
    if (!wavFramesFit(frames)) {
        return fail(wavTooLongReason(sampleRate));
    }
    errno = 0;
    if (path == "-") {
#ifdef _WIN32
        // Text mode would turn every 0x0A byte of the sound into two.
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        file_ = stdout;
        ownsFile_ = false;
    } else {
        file_ = std::fopen(path.c_str(), "wb");
        ownsFile_ = true;
        if (file_ == nullptr) {
            return fail("cannot create: " + errnoText("open failed"));
        }
    }
    if (gathered_ == nullptr) {
        // Not zero-filled: the pages are then first touched as the sound
        // fills them, not all at once for a short file.
        gathered_.reset(new uint8_t[WavWriteBytes]);
    }
    // The header is gathered too: every write to the file is then a whole
    // WavWriteBytes but the last.
    const std::array<uint8_t, WavHeaderBytes> header = wavHeader(sampleRate, frames);
    std::memcpy(gathered_.get(), header.data(), header.size());
    gatheredBytes_ = header.size();
    return true;
}

bool WavWriter::write(const int16_t* samples, uint64_t frames) {
    if (file_ == nullptr || !error_.empty()) {
        return fail("not open");
    }
    if (frames > promisedFrames_ - writtenFrames_) {
        return fail("more sound than the header announced");
    }
    const uint8_t* source = reinterpret_cast<const uint8_t*>(samples);
    for (uint64_t left = frames * WavBytesPerFrame; left > 0;) {
        if (gatheredBytes_ == WavWriteBytes && !flushGathered()) {
            return false;
        }
        const size_t count = static_cast<size_t>(
            std::min<uint64_t>(left, WavWriteBytes - gatheredBytes_));
        storeLittleEndian(gathered_.get() + gatheredBytes_, source, count);
        gatheredBytes_ += count;
        source += count;
        left -= count;
    }
    writtenFrames_ += frames;
    return true;
}

int16_t* WavWriter::reserve(uint64_t frames) {
    if (file_ == nullptr || !error_.empty()) {
        fail("not open");
        return nullptr;
    }
    if (frames * WavBytesPerFrame > WavWriteBytes) {
        fail("more room asked for than the writer gathers");
        return nullptr;
    }
    if (gatheredBytes_ + frames * WavBytesPerFrame > WavWriteBytes && !flushGathered()) {
        return nullptr;
    }
    // Frames start at even offsets: the header's 44 bytes, then whole frames.
    return reinterpret_cast<int16_t*>(gathered_.get() + gatheredBytes_);
}

bool WavWriter::commit(uint64_t frames) {
    if (file_ == nullptr || !error_.empty()) {
        return fail("not open");
    }
    if (frames > promisedFrames_ - writtenFrames_) {
        return fail("more sound than the header announced");
    }
    const size_t bytes = static_cast<size_t>(frames * WavBytesPerFrame);
    if (bytes > WavWriteBytes - gatheredBytes_) {
        return fail("more sound committed than there was room for");
    }
    uint8_t* at = gathered_.get() + gatheredBytes_;
    storeLittleEndian(at, at, bytes);
    gatheredBytes_ += bytes;
    writtenFrames_ += frames;
    return true;
}

bool WavWriter::finish() {
    if (file_ == nullptr) {
        return fail("not open");
    }
    if (!flushGathered()) {
        close();
        return false;
    }
    errno = 0;
    const bool flushed = std::fflush(file_) == 0;
    const std::string flushError = errnoText("write failed");
    const bool closed = !ownsFile_ || std::fclose(file_) == 0;
    const std::string closeError = errnoText("write failed");
    file_ = nullptr;
    if (!flushed || !closed) {
        return fail("cannot write: " + (flushed ? closeError : flushError));
    }
    if (writtenFrames_ != promisedFrames_) {
        return fail("less sound than the header announced");
    }
    return error_.empty();
}

bool writeWavFile(const std::string& path, int32_t sampleRate, std::span<const int16_t> samples,
                  std::string& error) {
    WavWriter writer;
    const uint64_t frames = samples.size() / 2;
    const bool written = writer.open(path, sampleRate, frames) &&
                         writer.write(samples.data(), frames) && writer.finish();
    if (!written) {
        error = writer.error();
    }
    return written;
}

} // namespace korvanthe
