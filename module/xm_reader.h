// Reads little-endian numbers from a PlayerFile. A read past the end of the
// file leaves the missing bytes 0 and marks the reader as having run short,
// so a truncated file is a known state, never undefined memory.
#pragma once

#include <algorithm>
#include <cstdint>

#include "module/file_callbacks.h"

namespace korvanthe {

class XmReader {
  public:
    explicit XmReader(PlayerFile* file) : file_(file) {}

    // Reads `length` bytes into `destination`, which keeps what it held where
    // the file has no bytes. False on a short read.
    bool read(void* destination, int32_t length) { return readSome(destination, length) == length; }

    // Reads up to `length` bytes; gives how many the file held.
    int32_t readSome(void* destination, int32_t length) {
        int32_t got = std::clamp(readPlayerFile(destination, length, file_), 0, length);
        lastReadShort_ = got < length;
        ranShort_ = ranShort_ || lastReadShort_;
        return got;
    }

    // Reads up to `length` bytes without counting a short read: for bytes whose
    // absence never made a file short.
    int32_t readQuietly(void* destination, int32_t length) {
        return std::clamp(readPlayerFile(destination, length, file_), 0, length);
    }

    uint8_t u8() {
        uint8_t bytes[1] = {};
        read(bytes, 1);
        return bytes[0];
    }
    uint16_t u16() {
        uint8_t bytes[2] = {};
        read(bytes, 2);
        return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    }
    uint32_t u32() {
        uint8_t bytes[4] = {};
        read(bytes, 4);
        return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    }

    void skip(int32_t length) { seekPlayerFile(file_, length, SeekFromCurrent); }

    // Positions that the interface cannot express (a header size that points
    // beyond 2 GiB) go to its last position, where every read runs short.
    void seekTo(int64_t position) {
        if (position < 0 || position > INT32_MAX) {
            position = INT32_MAX;
        }
        seekPlayerFile(file_, static_cast<int32_t>(position), SeekFromStart);
    }

    int32_t tell() { return tellPlayerFile(file_); }

    // True once any read found the end of the file.
    bool ranShort() const { return ranShort_; }
    // True when the latest read found the end of the file.
    bool lastReadShort() const { return lastReadShort_; }

  private:
    PlayerFile* file_;
    bool ranShort_ = false;
    bool lastReadShort_ = false;
};

} // namespace korvanthe
