// The song's structure: which part of the piece plays at each order, how
// many of its rows are heard, and the rhythmic landmarks in it. The song and
// the timeline are both generated from this one description, so the pictures
// stay in step with the music whenever either changes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace korvanthe::assetgen {

enum class Part : uint8_t {
    Intro,      // pads fade in, bells
    IntroArp,   // the chip arpeggio and soft hats join
    Build,      // four-to-the-floor kick and the bass arrive
    BuildRoll,  // snare roll and riser, broken off early into the drop
    Drop,       // full beat, bass, stabs and the lead hook
    DropFill,   // a drop whose last bar stops for a snare roll
    Groove,     // half-time beat over another progression
    Breakdown,  // no drums: pads, choir, bells; its last bar repeats
    FinalBuild, // faster and faster into the second drop
    Outro,      // drums gone, the hook once more, softly
    Ending,     // the last chord fades, slowing down, into the closing silence
};

struct Section {
    Part part;
    int variation;  // which version of the part (0, 1, ...)
    int pattern;    // pattern index in the song
    int rowsPlayed; // rows heard before the pattern breaks off (64 when it does not)
};

constexpr int PatternRows = 64;
constexpr int RowsPerBeat = 4;
constexpr int RowsPerBar = 16;

// One section per order, in play order.
const std::vector<Section>& songPlan();

// After the plan the song ends in silence: one short empty pattern, at the
// order after the last section, that jumps back onto itself for as long as
// the player runs. The demo then holds its closing picture in silence rather
// than starting the intro again.
constexpr int SilenceRows = 8;
inline int silenceOrder() {
    return static_cast<int>(songPlan().size());
}
// The number of distinct patterns the plan uses.
int patternCount();

// Chord of each bar: root note (for the bass, octave 2) and three pad notes.
struct Chord {
    uint8_t root;
    std::array<uint8_t, 3> voicing;
    bool minor;
};
std::array<Chord, 4> progression(Part part, int variation);

} // namespace korvanthe::assetgen
