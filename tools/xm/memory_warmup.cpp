// A fresh page of memory costs a program a trap into the system the first
// time it is written: on the virtual machines this project is measured on,
// about 11 us a page. The loader turns 8-bit sample frames into 16-bit ones,
// two bytes of memory for each byte of the file, so for a song with long
// samples those traps came to more than a tenth of a ten-minute render.
// With glibc on Linux the memory is asked for in one go before the load: the
// heap grows by what the song will take, the system maps all of those pages
// in one call (MADV_POPULATE_WRITE, about 1 us a page), and the allocator,
// which is kept from handing the memory back to the system, gives it out
// again to the loader and the renderer.
#include "tools/xm/memory_warmup.h"

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#endif

namespace korvanthe {

#if defined(__linux__) && defined(__GLIBC__) && defined(MADV_POPULATE_WRITE)

namespace {

// What a song takes beside its samples and patterns: the render's buffers
// (the WAV writer's 256 KiB, the mix block, the ring, the stamps).
constexpr uint64_t RenderBytes = uint64_t{1} << 20;
// glibc's largest setting for allocations served from the heap on 64-bit
// systems; a larger one it refuses, and larger samples are mapped apart.
constexpr int HeapAllocationLimit = 32 << 20;
constexpr uint64_t MostWarmedBytes = uint64_t{1} << 30;

} // namespace

void warmMemoryForSong(uint64_t fileBytes) {
    // Two bytes of frames for each byte of 8-bit sample data, and a half
    // more for patterns, whose cells take more room unpacked.
    const uint64_t wanted = std::min(fileBytes * 5 / 2 + RenderBytes, MostWarmedBytes);
    // Large allocations from the heap too, and freed memory kept there.
    mallopt(M_MMAP_THRESHOLD, HeapAllocationLimit);
    mallopt(M_TRIM_THRESHOLD, -1);
    void* block = std::malloc(static_cast<size_t>(wanted));
    if (block == nullptr) {
        return;
    }
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = (reinterpret_cast<uintptr_t>(block) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<uintptr_t>(block) + wanted) & ~(page - 1);
    if (end > start) {
        // A kernel before 5.14 refuses; the pages are then mapped as used.
        madvise(reinterpret_cast<void*>(start), end - start, MADV_POPULATE_WRITE);
    }
    std::free(block);
}

#else

void warmMemoryForSong(uint64_t) {}

#endif

} // namespace korvanthe
