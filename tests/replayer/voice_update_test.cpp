// The channel's state reaching its voice: trigger, volume, panning,
// frequency, stop; and the automatic vibrato.
#include <gtest/gtest.h>

#include "audio/output_settings.h"
#include "replayer/voice_update.h"

namespace korvanthe {
namespace {

class VoiceUpdate : public ::testing::Test {
  protected:
    void SetUp() override {
        configureOutput(44100);
        resetVoices(44100);
        channel.voice = &voices[3];
        channel.volume = 64;
        channel.volumeEnvelope.value = 64;
        channel.panningEnvelope.value = 32;
        channel.fadeoutVolume = 65536;
        channel.panning = 128;
        module.globalVolume = 64;
        sample.length = 100;
        sample.loopLength = 100;
        sample.loopType = LoopNone;
    }
    Voice& voice() { return voices[3]; }
    void update(uint8_t flags) {
        channel.updateFlags = flags;
        updateVoice(&channel, &sample, &module);
    }

    Channel channel{};
    Module module{};
    Sample sample{};
};

TEST_F(VoiceUpdate, FrequencyOnBothTables) {
    const struct {
        bool linear;
        int32_t period, periodDelta;
        int64_t frequency;
    } frequencies[] = {
        {true, 4608, 0, 8363},    {true, 4608, 64, 8860}, // a positive offset raises
        {true, 4608, -64, 7893},  {true, 4608, 768, 16726}, {true, 3840, 0, 16726},
        {false, 1712, 0, 8362},   {false, 856, 0, 16725},   {false, 1648, 64, 8362},
        {false, 1000000, 0, 100}, {true, 30000, 0, 100},    {false, -50, 0, 100},
        {false, 200, 0, 71585},
    };
    for (const auto& f : frequencies) {
        module.flags = f.linear ? ModuleLinearFrequencies : 0;
        channel.period = f.period;
        channel.periodDelta = f.periodDelta;
        update(UpdateFrequency);
        const int64_t expectedStep = (f.frequency << 32) / 44100;
        const int64_t step = (int64_t{voice().stepInt} << 32) | voice().stepFrac;
        EXPECT_EQ(step, expectedStep) << f.period << " " << f.periodDelta << " linear " << f.linear;
    }
    module.flags = ModuleLinearFrequencies;
    channel.period = 4608;
    channel.periodDelta = 0;
    update(UpdateFrequency);
    EXPECT_EQ(voice().stepInt, 0);
    EXPECT_EQ(voice().stepFrac, 814485521u);
}

TEST_F(VoiceUpdate, TheSameSumGivesTheStepOfItsTableAndRate) {
    // The voice update keeps each voice's latest step with what it was made
    // from: the same number on the other table, at another rate, or another
    // number must give the step computed afresh. Steps worked out as
    // frequency x 2^32 / rate, truncated.
    const auto step = [this] { return (int64_t{voice().stepInt} << 32) | voice().stepFrac; };
    channel.period = 1712;
    channel.periodDelta = 0;
    module.flags = 0;
    update(UpdateFrequency); // Amiga 1712: 8362 Hz
    EXPECT_EQ(step(), (int64_t{8362} << 32) / 44100);
    module.flags = ModuleLinearFrequencies;
    channel.period = 2896; // 4608 - 2896 = 1712 units: 8363 x 2^(1712 / 768) = 39211 Hz
    update(UpdateFrequency);
    EXPECT_EQ(step(), (int64_t{39211} << 32) / 44100);
    configureOutput(48000);
    update(UpdateFrequency);
    EXPECT_EQ(step(), (int64_t{39211} << 32) / 48000);
    configureOutput(44100);
    channel.periodDelta = 64; // 1776 units: 8363 x 2^(1776 / 768) = 41542 Hz
    update(UpdateFrequency);
    EXPECT_EQ(step(), (int64_t{41542} << 32) / 44100);
    channel.period = 1712;
    channel.periodDelta = 0;
    module.flags = 0;
    update(UpdateFrequency);
    EXPECT_EQ(step(), (int64_t{8362} << 32) / 44100);
}

TEST_F(VoiceUpdate, PeriodSumOfZeroLeavesTheStep) {
    voice().stepFrac = 1234;
    channel.period = 10;
    channel.periodDelta = -10;
    update(UpdateFrequency);
    EXPECT_EQ(voice().stepInt, 1);
    EXPECT_EQ(voice().stepFrac, 1234u);
    EXPECT_EQ(channel.updateFlags & UpdateFrequency, 0);
}

TEST_F(VoiceUpdate, VolumeProductAndSides) {
    const struct {
        int32_t volume, volumeDelta, envelope, fadeout, global, panning;
        int32_t voiceVolume, left, right;
    } cases[] = {
        {64, 0, 64, 65536, 64, 128, 127, 63, 63},
        {64, 0, 64, 65536, 64, 255, 127, 127, 0}, // 255 is fully left
        {64, 0, 64, 65536, 64, 0, 127, 0, 127},
        {32, 0, 64, 65536, 64, 128, 63, 31, 31},
        {64, 0, 32, 32768, 64, 128, 31, 15, 15},
        {64, 0, 64, 65536, 63, 128, 125, 62, 62},
        {40, -40, 64, 65536, 64, 128, 0, 0, 0}, // tremor off
    };
    for (const auto& c : cases) {
        channel.volume = c.volume;
        channel.volumeDelta = c.volumeDelta;
        channel.volumeEnvelope.value = c.envelope;
        channel.fadeoutVolume = c.fadeout;
        module.globalVolume = c.global;
        voice().panning = c.panning;
        update(UpdateVolume);
        EXPECT_EQ(voice().volume, c.voiceVolume) << c.volume << " pan " << c.panning;
        EXPECT_EQ(voice().volumeLeft, c.left) << c.volume << " pan " << c.panning;
        EXPECT_EQ(voice().volumeRight, c.right) << c.volume << " pan " << c.panning;
    }
}

TEST_F(VoiceUpdate, PanningWithTheEnvelopeClamped) {
    // At voice volume 127 the sides get 127 x p / 255 and (255 - p) x 127 /
    // 255, truncated: p = 128 gives 16256 / 255 = 63.7 and 16129 / 255 = 63.3,
    // p = 250 gives 31750 / 255 = 124.5 and 635 / 255 = 2.5.
    const struct {
        int32_t panning, envelope, result, left, right;
    } cases[] = {
        {128, 64, 255, 127, 0}, // f = 4, p = 256 -> 255
        {128, 0, 0, 0, 127},    // 128 - 128
        {128, 32, 128, 63, 63}, // 32 is no change
        {64, 64, 128, 63, 63},  // f = 2
        {250, 64, 250, 124, 2}, // f = 0 at the sides
        {300, 32, 255, 127, 0}, // slid beyond the range
        {-20, 0, 0, 0, 127},
    };
    voice().volume = 127;
    for (const auto& c : cases) {
        channel.panning = c.panning;
        channel.panningEnvelope.value = c.envelope;
        update(UpdatePanning);
        EXPECT_EQ(voice().panning, c.result) << c.panning << " env " << c.envelope;
        EXPECT_EQ(voice().volumeLeft, c.left) << c.panning << " env " << c.envelope;
        EXPECT_EQ(voice().volumeRight, c.right) << c.panning << " env " << c.envelope;
    }
}

TEST_F(VoiceUpdate, TriggerRestartsFromTheStartOffsetWithinTheSample) {
    const struct {
        int32_t startOffset, position;
    } cases[] = {{0, 0}, {40, 40}, {99, 99}, {100, 0}, {5000, 0}, {-3, 0}};
    for (const auto& c : cases) {
        voice().startOffset = c.startOffset;
        voice().positionFrac = 77;
        voice().direction = 2;
        voice().levelLeft = voice().levelRight = 999;
        voice().rampFramesLeft = 5;
        update(UpdateTrigger);
        EXPECT_EQ(voice().sample, &sample);
        EXPECT_EQ(voice().positionInt, c.position) << c.startOffset;
        EXPECT_EQ(voice().positionFrac, 0u);
        EXPECT_EQ(voice().startOffset, 0);
        EXPECT_EQ(voice().direction, 1);
        EXPECT_EQ(voice().levelLeft + voice().levelRight + voice().rampFramesLeft, 0);
    }
}

TEST_F(VoiceUpdate, StopSilencesTheVoice) {
    update(UpdateTrigger);
    voice().positionInt = 30;
    voice().startOffset = 12;
    update(UpdateStop);
    EXPECT_EQ(voice().sample, nullptr);
    EXPECT_EQ(voice().positionInt, 0);
    EXPECT_EQ(voice().startOffset, 0);
}

TEST(AutoVibrato, WaveformsByType) {
    const struct {
        uint8_t type;
        int32_t phase, delta; // depth 64: the delta is the wave value
    } cases[] = {
        {0, 0, 0},     {0, 64, 63},  {0, 128, 0},   {0, 129, -1},  {0, 192, -63},
        {1, 0, 64},    {1, 127, 64}, {1, 128, -64}, {1, 255, -64}, {2, 0, 0},
        {2, 127, -64}, {2, 128, 64}, {2, 255, 0},   {3, 0, 0},     {3, 128, 64},
        {3, 129, -64}, {3, 255, -1}, {4, 64, 0},    {255, 1, 0}, // no waveform
    };
    Instrument instrument{};
    instrument.vibratoDepth = 64;
    for (const auto& c : cases) {
        instrument.vibratoType = c.type;
        Channel channel{};
        channel.autoVibratoPos = c.phase;
        channel.periodDelta = 5; // added to
        applyAutoVibrato(&channel, &instrument);
        EXPECT_EQ(channel.periodDelta, 5 + c.delta) << int{c.type} << " at " << c.phase;
        EXPECT_EQ(channel.updateFlags, UpdateFrequency);
    }
}

TEST(AutoVibrato, SquareDepth8Rate16AlternatesEvery8Ticks) {
    Instrument instrument{};
    instrument.vibratoType = 1;
    instrument.vibratoDepth = 8;
    instrument.vibratoRate = 16;
    Channel channel{};
    for (int tick = 0; tick < 32; ++tick) {
        channel.periodDelta = 0;
        applyAutoVibrato(&channel, &instrument);
        EXPECT_EQ(channel.periodDelta, (tick / 8) % 2 == 0 ? 8 : -8) << tick;
    }
}

TEST(AutoVibrato, SweepGrowsTheDepthFromZero) {
    Instrument instrument{};
    instrument.vibratoType = 1;
    instrument.vibratoDepth = 64;
    instrument.vibratoSweep = 4;
    Channel channel{};
    const int32_t deltas[] = {0, 16, 32, 48, 64, 64};
    for (int32_t expected : deltas) {
        channel.periodDelta = 0;
        applyAutoVibrato(&channel, &instrument);
        EXPECT_EQ(channel.periodDelta, expected);
    }
    EXPECT_EQ(channel.autoVibratoSweep, 4);
}

} // namespace
} // namespace korvanthe
