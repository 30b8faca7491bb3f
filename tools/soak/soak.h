// The soak runs. Each prints its figures to stdout, a line per finding to
// stderr, and gives true when nothing went wrong.
#pragma once

#include <cstdint>

namespace korvanthe::soak {

// `cycles` times: load the song through the player, play it, let the virtual
// device play a few blocks while the streaming thread refills, ask for the
// audible position, stop. Checks that every stop leaves no thread, no loop,
// no song and no voice behind, and that memory stays flat.
bool runPlayStopSoak(const char* songPath, int64_t cycles);

// Renders `seconds` of the song looping, block by block through the block
// renderer as the streaming thread does, as fast as the CPU allows. Checks
// every block's stamp: the position moves forward (or wraps to where the song
// continues), elapsedMs grows by the block's length less at most 1 ms per
// mixed run, the total never drifts beyond that, and memory stays flat.
bool runLoopSoak(const char* songPath, int64_t seconds);

// The demo's main sequence on the headless backend for `seconds` of virtual
// time at `fps` frames a second, the sound device played on in step; the
// demo's files are read from the working directory. Checks that memory stays
// flat once the demo runs.
bool runFrameLoopSoak(int64_t seconds, int fps);

// Resident and peak resident memory of this process in KiB (0 when unknown).
struct MemoryFigures {
    int64_t residentKiB;
    int64_t peakKiB;
};
MemoryFigures memoryFigures();

// Growth of resident memory that a soak accepts between its warm-up and its
// end before it calls it a leak.
constexpr int64_t AllowedGrowthKiB = 8 * 1024;

// Prints "label: resident N KiB, peak N KiB".
void printMemory(const char* label, const MemoryFigures& figures);

} // namespace korvanthe::soak
