// An instrument header shorter than the fields the loader reads (offsets 29
// to 240), as some packers write it: the fields it does not hold are 0, the
// sample headers are still found at the instrument's start plus its header
// size, and nothing of them is taken for the instrument. (The check against
// libxmp and libopenmpt is in xm_peer_reference_test.cpp.)
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "module/xm_loader.h"
#include "tests/module/xm_variant_songs.h"
#include "tests/support/memory_file.h"

namespace korvanthe {
namespace {

using testing::loadModuleFromBytes;
using testing::ModulePtr;

// What a family of an instrument's fields holds: the values written
// (Written), all zero (Zero), or anything else (Other: the bytes of
// something else taken for them).
enum Field { Zero, Written, Other };

template <typename Value, size_t N>
Field field(const Value (&values)[N], const Value* written) {
    bool zero = true;
    bool same = true;
    for (size_t i = 0; i < N; ++i) {
        zero = zero && values[i] == 0;
        same = same && values[i] == written[i];
    }
    return same ? Written : zero ? Zero : Other;
}

struct Held {
    Field keymap;        // notes from 48 on play sample 1
    Field volumePoints;  // the volume envelope's 3 points
    Field panningPoints; // the panning envelope's 2 points
    Field counts;        // the point counts, sustain and loop points
    Field flags;         // both envelopes on
    Field vibrato;       // type, sweep, depth, rate
    Field fadeout;       // 300, stored doubled

    bool operator==(const Held&) const = default;
};

Held heldBy(const Instrument& in) {
    uint8_t keymap[96] = {};
    uint8_t split[96] = {};
    for (int note = 0; note < 96; ++note) {
        keymap[note] = in.keymap[note];
        split[note] = note >= 48 ? 1 : 0;
    }
    const uint16_t volume[6] = {in.volumeEnvelopePoints[0].value, in.volumeEnvelopePoints[1].tick,
                                in.volumeEnvelopePoints[1].value, in.volumeEnvelopePoints[2].tick,
                                in.volumeEnvelopePoints[3].tick,  in.volumeEnvelopePoints[11].value};
    const uint16_t panning[4] = {in.panningEnvelopePoints[0].value, in.panningEnvelopePoints[1].tick,
                                 in.panningEnvelopePoints[1].value, in.panningEnvelopePoints[11].value};
    const uint8_t counts[8] = {in.volumePointCount,    in.panningPointCount,   in.volumeSustainPoint,
                               in.volumeLoopStart,     in.volumeLoopEnd,       in.panningSustainPoint,
                               in.panningLoopStart,    in.panningLoopEnd};
    const uint8_t flags[2] = {in.volumeEnvelopeFlags, in.panningEnvelopeFlags};
    const uint8_t vibrato[4] = {in.vibratoType, in.vibratoSweep, in.vibratoDepth, in.vibratoRate};
    const uint16_t fadeout[1] = {in.fadeout};
    // What the writer wrote into each family, in the families' own types.
    static constexpr uint16_t volumeWritten[6] = {64, 10, 32, 30, 0, 0};
    static constexpr uint16_t panningWritten[4] = {0, 20, 64, 0};
    static constexpr uint8_t countsWritten[8] = {3, 2, 0, 0, 0, 1, 0, 0};
    static constexpr uint8_t flagsWritten[2] = {1, 3};
    static constexpr uint8_t vibratoWritten[4] = {1, 4, 8, 16};
    static constexpr uint16_t fadeoutWritten[1] = {600};
    return {
        field(keymap, split),
        field(volume, volumeWritten),
        field(panning, panningWritten),
        field(counts, countsWritten),
        field(flags, flagsWritten),
        field(vibrato, vibratoWritten),
        field(fadeout, fadeoutWritten),
    };
}

TEST(XmShortInstrumentHeader, FieldsBeyondTheHeaderAreZero) {
    struct Case {
        uint32_t headerSize;
        Held held;
    };
    constexpr Field W = Written;
    constexpr Field Z = Zero;
    const Case cases[] = {
        //    keymap volume panning counts flags vibrato fadeout
        {263, {W, W, W, W, W, W, W}}, // as trackers write it
        {241, {W, W, W, W, W, W, W}}, // every field, nothing more
        {239, {W, W, W, W, W, W, Z}}, // no fadeout
        {235, {W, W, W, W, W, Z, Z}}, // no vibrato
        {233, {W, W, W, W, Z, Z, Z}}, // no envelope flags
        {225, {W, W, W, Z, Z, Z, Z}}, // no counts
        {177, {W, W, Z, Z, Z, Z, Z}}, // no panning points
        {129, {W, Z, Z, Z, Z, Z, Z}}, // the keymap only
        {33, {Z, Z, Z, Z, Z, Z, Z}},  // the sample header size only
    };
    for (const Case& c : cases) {
        const ModulePtr module = loadModuleFromBytes(writeXm(testing::shortHeaderSong(c.headerSize)));
        ASSERT_NE(module, nullptr) << c.headerSize;
        const Instrument& instrument = module->instruments[0];
        EXPECT_TRUE(heldBy(instrument) == c.held) << c.headerSize;
        // The sample headers behind the header, found where it says it ends:
        // 64 looped frames, then 50.
        ASSERT_EQ(instrument.sampleCount, 2) << c.headerSize;
        EXPECT_EQ(instrument.samples[0]->length, 64u) << c.headerSize;
        EXPECT_EQ(instrument.samples[0]->loopStart, 16u) << c.headerSize;
        EXPECT_EQ(instrument.samples[1]->length, 50u) << c.headerSize;
        // And the instrument after it as written.
        EXPECT_EQ(module->instruments[1].samples[0]->length, 120u) << c.headerSize;
    }
}

} // namespace
} // namespace korvanthe
