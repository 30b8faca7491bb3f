// Tempo to frames per tick, and the song-start reset.
#include <gtest/gtest.h>

#include "audio/output_settings.h"
#include "replayer/channel.h"

namespace korvanthe {
namespace {

TEST(SetTempo, FramesPerTickAt44100) {
    configureOutput(44100);
    Module module{};
    const struct {
        int32_t bpm;
        int32_t frames;
    } cases[] = {{32, 3445}, {125, 882}, {255, 432}, {150, 735}, {33, 3340}};
    for (const auto& c : cases) {
        setTempo(&module, c.bpm);
        EXPECT_EQ(module.bpm, c.bpm);
        EXPECT_EQ(module.samplesPerTick, c.frames) << "bpm " << c.bpm;
    }
}

TEST(SetTempo, SinglePrecisionConstantsGiveTheFloorForEveryBpm) {
    // With the exact decimals 0.4 and 0.001 some of these would come out one
    // frame short; the single-precision constants make every one the floor.
    configureOutput(44100);
    Module module{};
    for (int32_t bpm = 1; bpm <= 255; ++bpm) {
        setTempo(&module, bpm);
        ASSERT_EQ(module.samplesPerTick, 44100 * 5 / (2 * bpm)) << "bpm " << bpm;
    }
}

TEST(StartSong, ResetsThePlayStateAndTheUsedChannels) {
    configureOutput(44100);
    Module module{};
    module.channelCount = 4;
    module.initialGlobalVolume = 64;
    module.globalVolume = 3;
    module.defaultSpeed = 6;
    module.defaultBpm = 140;
    module.row = 12;
    module.order = 3;
    module.tick = 2;
    module.samplesToTick = 99;
    module.patternDelayTicks = 4;
    module.elapsedMs = 5000;
    for (Channel& channel : channels) {
        channel.volume = 40;
        channel.panning = 77;
        channel.voice = &voices[9];
    }

    startSong(&module);

    EXPECT_EQ(module.globalVolume, 64);
    EXPECT_EQ(module.nextOrder, -1);
    EXPECT_EQ(module.nextRow, -1);
    EXPECT_EQ(module.speed, 6);
    EXPECT_EQ(module.bpm, 140);
    EXPECT_EQ(module.samplesPerTick, 787);
    for (int32_t value : {module.row, module.order, module.tick, module.samplesToTick,
                          module.patternDelayTicks, module.elapsedMs}) {
        EXPECT_EQ(value, 0);
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(channels[i].voice, &voices[i]);
        EXPECT_EQ(channels[i].volume, 0); // a note without instrument plays at volume 0
        EXPECT_EQ(channels[i].panning, 0);
    }
    EXPECT_EQ(channels[4].volume, 40); // unused channels are left alone
}

TEST(StartSong, DefaultBpmOfZeroOrBelowPlaysAt125) {
    configureOutput(44100);
    for (int16_t bpm : {0, -5}) {
        Module module{};
        module.defaultBpm = bpm;
        startSong(&module);
        EXPECT_EQ(module.bpm, 125);
        EXPECT_EQ(module.samplesPerTick, 882);
    }
}

} // namespace
} // namespace korvanthe
