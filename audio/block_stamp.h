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

namespace stampField {

// A relaxed atomic store and load of one field. A C++ library without
// atomic_ref (older libc++, as the browser build's) gets the same from the
// compiler's atomic builtins, which GCC and clang both have.
template <typename Field> void store(Field& field, Field value) {
#if defined(__cpp_lib_atomic_ref)
    std::atomic_ref<Field>(field).store(value, std::memory_order_relaxed);
#else
    __atomic_store_n(&field, value, __ATOMIC_RELAXED);
#endif
}

template <typename Field> Field load(Field& field) {
#if defined(__cpp_lib_atomic_ref)
    return std::atomic_ref<Field>(field).load(std::memory_order_relaxed);
#else
    return __atomic_load_n(&field, __ATOMIC_RELAXED);
#endif
}

} // namespace stampField

// Rendering thread: writes one stamp, field by field.
inline void writeStamp(BlockStamp& stamp, uint8_t order, uint8_t row, int32_t elapsedMs) {
    stampField::store(stamp.order, order);
    stampField::store(stamp.row, row);
    stampField::store(stamp.elapsedMs, elapsedMs);
}

// Any thread: a copy of one stamp. A copy taken while the renderer rewrites
// the same stamp may mix old and new fields.
inline BlockStamp readStamp(BlockStamp& stamp) {
    return BlockStamp{stampField::load(stamp.order), stampField::load(stamp.row),
                      stampField::load(stamp.elapsedMs)};
}

} // namespace korvanthe
