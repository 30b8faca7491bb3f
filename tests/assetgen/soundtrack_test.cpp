// The generated song loads in our loader as written and plays in our player
// as a whole piece: the right length, through every part, never clipping,
// never falling silent before its fade-out, and silent for good after it.
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
    // The plan's sections, then the closing silence, where a restart lands too.
    EXPECT_EQ(module.songLength, static_cast<int>(songPlan().size()) + 1);
    EXPECT_EQ(module.restartPosition, assetgen::silenceOrder());
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
    // Every section, and the closing silence.
    EXPECT_EQ(orders.size(), songPlan().size() + 1);
}

TEST(Soundtrack, EndsInSilenceAndStaysThere) {
    const testing::SoundtrackRender& render = testing::soundtrackRender();
    ASSERT_FALSE(render.blocks.empty());
    // The song's end is where it first comes back to a position it played:
    // its closing silence, which loops onto itself.
    EXPECT_EQ(render.blocks.back().order, assetgen::silenceOrder());
    int64_t silenceFrom = -1;
    for (const testing::RenderedBlock& block : render.blocks) {
        if (block.order == assetgen::silenceOrder()) {
            silenceFrom = block.firstFrame;
            break;
        }
    }
    ASSERT_GE(silenceFrom, 0);
    // The fade has ended by then: no cut is heard.
    int64_t lastSecondPeak = 0;
    for (int64_t i = std::max<int64_t>(0, silenceFrom - 44100) * 2; i < silenceFrom * 2; ++i) {
        lastSecondPeak = std::max<int64_t>(lastSecondPeak, std::abs(render.pcm[i]));
    }
    EXPECT_LT(lastSecondPeak, 300);

    // Played on without looking for the end, as the live demo plays it: a
    // minute more of nothing but the silence.
    ASSERT_TRUE(startOfflineRender(render.module.get(), 44100, false));
    const int64_t until = static_cast<int64_t>(render.pcm.size() / 2) + 60 * 44100;
    int64_t frames = 0;
    int64_t loud = 0;
    int64_t elsewhere = 0;
    OfflineBlock block;
    while (frames < until && renderOfflineBlock(&block)) {
        if (frames >= silenceFrom + 4096) {
            for (int32_t i = 0; i < 2 * block.frames; ++i) {
                loud += block.pcm[i] != 0;
            }
            elsewhere += block.stamp.order != assetgen::silenceOrder();
        }
        frames += block.frames;
    }
    stopOfflineRender();
    EXPECT_GE(frames, until);
    EXPECT_EQ(loud, 0);
    EXPECT_EQ(elsewhere, 0);
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
