// The generated song loads in our loader as written and plays in our player
// as a whole piece: the right length, through every part, never clipping
// and never falling silent before its fade-out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/assetgen/soundtrack_render.h"
#include "tools/assetgen/instruments.h"
#include "tools/assetgen/song_plan.h"

namespace korvanthe {
namespace {

using assetgen::songPlan;

TEST(Soundtrack, LoadsWithItsChannelsOrdersAndInstruments) {
    const testing::SoundtrackRender& render = testing::soundtrackRender();
    ASSERT_NE(render.module, nullptr);
    const Module& module = *render.module;
    EXPECT_EQ(module.channelCount, assetgen::SoundtrackChannels);
    EXPECT_GE(module.channelCount, 8);
    EXPECT_EQ(module.songLength, static_cast<int>(songPlan().size()));
    EXPECT_EQ(module.flags & ModuleLinearFrequencies, ModuleLinearFrequencies);
    ASSERT_EQ(module.instrumentCount, assetgen::InstrumentCount);
    for (size_t i = 0; i < songPlan().size(); ++i) {
        EXPECT_EQ(module.orderTable[i], songPlan()[i].pattern) << "order " << i;
    }
    for (int i = 0; i < module.instrumentCount; ++i) {
        EXPECT_EQ(module.instruments[i].sampleCount, 1) << "instrument " << i + 1;
        EXPECT_GT(module.instruments[i].samples[0]->length, 0u) << "instrument " << i + 1;
    }
}

TEST(Soundtrack, CarriesEverySampleKind) {
    const testing::SoundtrackRender& render = testing::soundtrackRender();
    ASSERT_NE(render.module, nullptr);
    EXPECT_FALSE(render.report.truncated);
    std::set<int> bits, loops;
    for (int i = 0; i < render.module->instrumentCount; ++i) {
        const Sample& sample = *render.module->instruments[i].samples[0];
        loops.insert(sample.loopType);
        bits.insert(render.report.storedSampleBits[static_cast<size_t>(i)][0]);
        EXPECT_LE(sample.loopStart + sample.loopLength, sample.length) << "instrument " << i + 1;
    }
    EXPECT_EQ(bits, (std::set<int>{8, 16}));
    EXPECT_EQ(loops, (std::set<int>{LoopNone, LoopForward, LoopPingPong}));
}

TEST(Soundtrack, PlaysTwoToThreeMinutesThroughEveryOrder) {
    const testing::SoundtrackRender& render = testing::soundtrackRender();
    double seconds = render.pcm.size() / 2 / 44100.0;
    EXPECT_GE(seconds, 120.0);
    EXPECT_LE(seconds, 180.0);
    std::set<int> orders;
    for (const auto& [order, row] : render.positions) {
        orders.insert(order);
    }
    EXPECT_EQ(orders.size(), songPlan().size());
}

TEST(Soundtrack, NeverClipsAndNeverFallsSilentBeforeTheEnding) {
    const testing::SoundtrackRender& render = testing::soundtrackRender();
    ASSERT_FALSE(render.pcm.empty());
    int clipped = 0;
    for (int16_t value : render.pcm) {
        clipped += value == 32767 || value == -32768;
    }
    EXPECT_EQ(clipped, 0);
    // Every quarter second up to the last ten seconds (the fade-out) has sound.
    const size_t window = 2 * 44100 / 4;
    const size_t end = render.pcm.size() - 2 * 44100 * 10;
    for (size_t start = 0; start + window <= end; start += window) {
        int peak = 0;
        for (size_t i = start; i < start + window; ++i) {
            peak = std::max(peak, std::abs(static_cast<int>(render.pcm[i])));
        }
        EXPECT_GT(peak, 1000) << "silent at " << start / 2 / 44100.0 << " s";
    }
}

TEST(Soundtrack, SameBytesEveryTime) {
    EXPECT_EQ(writeXm(assetgen::makeSoundtrack()), writeXm(assetgen::makeSoundtrack()));
}

} // namespace
} // namespace korvanthe
