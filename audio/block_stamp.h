// The song position stamped on each output block: where the replayer stood
// when the block's last frame had been rendered.
//
// The rendering thread writes stamps; the first thread reads the stamp of the
// block that is sounding. Both sides go through the accessors below, whose
// per-field atomic accesses keep a read that meets a rewrite well defined.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvanthe {

struct BlockStamp {
    uint8_t order;     // low 8 bits of the module's order after the block
    uint8_t row;       // low 8 bits of the module's row after the block
    int32_t elapsedMs; // the module's elapsedMs after the block
};

// Rendering thread: writes one stamp, field by field.
inline void writeStamp(BlockStamp& stamp, uint8_t order, uint8_t row, int32_t elapsedMs) {
#if defined(__EMSCRIPTEN__)
    // The page has one thread, and its C++ library no atomic_ref.
    stamp = BlockStamp{order, row, elapsedMs};
#else
    std::atomic_ref<uint8_t>(stamp.order).store(order, std::memory_order_relaxed);
    std::atomic_ref<uint8_t>(stamp.row).store(row, std::memory_order_relaxed);
    std::atomic_ref<int32_t>(stamp.elapsedMs).store(elapsedMs, std::memory_order_relaxed);
#endif
}

// Any thread: a copy of one stamp. A copy taken while the renderer rewrites
// the same stamp may mix old and new fields.
inline BlockStamp readStamp(BlockStamp& stamp) {
#if defined(__EMSCRIPTEN__)
    return stamp;
#else
    return BlockStamp{
        std::atomic_ref<uint8_t>(stamp.order).load(std::memory_order_relaxed),
        std::atomic_ref<uint8_t>(stamp.row).load(std::memory_order_relaxed),
        std::atomic_ref<int32_t>(stamp.elapsedMs).load(std::memory_order_relaxed),
    };
#endif
}

} // namespace korvanthe
