// FNV-1a, 64 bits: the checksum of rendered PCM in the golden and corpus
// tests and the peer benchmark. Header-only, so that bench/ can include it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvanthe::testing {

class Fnv1a {
  public:
    void addBytes(const void* bytes, size_t count) {
        const auto* p = static_cast<const uint8_t*>(bytes);
        for (size_t i = 0; i < count; ++i) {
            value_ = (value_ ^ p[i]) * Prime;
        }
    }
    // 16-bit samples as little-endian bytes, whatever the machine's order.
    void addPcm16(const int16_t* samples, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const auto sample = static_cast<uint16_t>(samples[i]);
            value_ = (value_ ^ (sample & 0xFFu)) * Prime;
            value_ = (value_ ^ (sample >> 8)) * Prime;
        }
    }
    uint64_t value() const { return value_; }

  private:
    static constexpr uint64_t OffsetBasis = 0xCBF29CE484222325ULL;
    static constexpr uint64_t Prime = 0x100000001B3ULL;
    uint64_t value_ = OffsetBasis;
};

} // namespace korvanthe::testing
