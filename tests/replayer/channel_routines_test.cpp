// Periods, waveforms, vibrato, tremor, instrument defaults and the row part
// of the volume column.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "replayer/channel_routines.h"

namespace korvanthe {
namespace {

TEST(Periods, LinearTable) {
    const struct {
        int32_t note, finetune, period;
    } cases[] = {{48, 0, 4608}, {48, -16, 4616}, {48, -15, 4615}, {48, 127, 4545}, {0, 0, 7680}};
    for (const auto& c : cases) {
        EXPECT_EQ(linearPeriod(c.note, c.finetune), c.period) << c.note << " " << c.finetune;
    }
}

TEST(Periods, AmigaTable) {
    const struct {
        int32_t note, finetune, period;
    } cases[] = {
        {48, 0, 1712},  {49, 0, 1615},   {47, 0, 1813},   {60, 0, 856},
        {84, 0, 214},   {0, 0, 27392},   {48, 127, 1616}, {48, -128, 1813},
        {48, 64, 1664}, {48, -64, 1762}, {0, -64, 28161}, // note 0 takes the first rule with the
                                                          // negative finetune
    };
    for (const auto& c : cases) {
        EXPECT_EQ(amigaPeriod(c.note, c.finetune), c.period) << c.note << " " << c.finetune;
    }
}

TEST(Periods, AmigaNotesFarOutsideTheKeyboardStayDefined) {
    EXPECT_EQ(amigaPeriod(-2000000000, 127), amigaPeriod(-128, 127));
    EXPECT_EQ(amigaPeriod(2000000000, -128), 0);
    EXPECT_EQ(amigaPeriod(270, 0), 0); // note 255 with an arpeggio of 15
}

TEST(Waveforms, SineMatchesItsFormulaAndTheListedValues) {
    const int32_t listed[] = {0,   25,  49,  74,  97,  120, 142, 162, 181,
                              197, 212, 225, 236, 244, 251, 254, 255};
    for (int32_t p = 0; p <= 16; ++p) {
        EXPECT_EQ(vibratoWaveform(0, p), listed[p]) << p;
        EXPECT_EQ(vibratoWaveform(0, -p), listed[p]) << -p;
    }
    for (int32_t p = -32; p <= 31; ++p) {
        const auto formula = static_cast<int32_t>(std::fabs(std::sin(p * 2 * 0.049087375) * 256));
        // The peak is 1.4e-11 below 256; a sin one ulp high would make it 256.
        EXPECT_EQ(vibratoWaveform(0, p), p == 16 || p == -16 ? 255 : formula) << p;
    }
}

TEST(Waveforms, SelectionAndShapes) {
    const struct {
        bool tremolo;
        uint8_t waveControl;
        int32_t phase;
        int32_t value;
    } cases[] = {
        {false, 0x00, 8, 181},   // sine
        {false, 0x01, 31, 248},  // ramp: p x 8
        {false, 0x01, -32, 255}, // ramp below 0: 255 - (p x 8 mod 256)
        {false, 0x01, -1, 7},    {false, 0x01, 0, 0}, {false, 0x02, -5, 255}, // square
        {false, 0x03, 3, 255},                                                // square as well
        {false, 0x05, 4, 32}, // the two low bits choose: ramp
        {true, 0x10, 8, 64},  // tremolo ramp
        {true, 0x00, 8, 181}, // tremolo sine
        {true, 0x20, 8, 255}, // tremolo square
        {true, 0x30, 8, 181}, // tremolo 3 is sine
        {true, 0x0F, 8, 181}, // the low nibble is the vibrato's
    };
    for (const auto& c : cases) {
        const int32_t value = c.tremolo ? tremoloWaveform(c.waveControl, c.phase)
                                        : vibratoWaveform(c.waveControl, c.phase);
        EXPECT_EQ(value, c.value) << int{c.waveControl} << " phase " << c.phase;
    }
}

TEST(Waveforms, PhaseAdvanceWraps) {
    EXPECT_EQ(advanceWavePhase(0, 8), 8);
    EXPECT_EQ(advanceWavePhase(31, 0), 31);
    EXPECT_EQ(advanceWavePhase(28, 4), -32);
    EXPECT_EQ(advanceWavePhase(30, 15), -19);
}

TEST(ComputeVibrato, PeakOffsetIs116AgainstThePhaseSign) {
    const struct {
        int8_t phase;
        uint8_t depth;
        int32_t delta;
    } cases[] = {
        {16, 15, -116}, {-16, 15, 116}, {0, 15, 0}, {8, 4, -20}, {8, 1, -4}, {1, 1, 0},
    };
    for (const auto& c : cases) {
        Channel channel{};
        channel.vibratoPos = c.phase;
        channel.vibratoDepth = c.depth;
        channel.periodDelta = 1000; // assigned, not added
        computeVibrato(&channel);
        EXPECT_EQ(channel.periodDelta, c.delta) << int{c.phase} << " " << int{c.depth};
        EXPECT_EQ(channel.vibratoPos, c.phase); // the phase is the caller's to advance
        EXPECT_TRUE(channel.updateFlags & UpdateFrequency);
    }
}

TEST(StepTremor, OnTwoOffThreeRepeating) {
    Channel channel{};
    channel.volume = 40;
    channel.tremorOnTicks = 2; // T12
    channel.tremorOffTicks = 3;
    const bool audible[] = {true, true, false, false, false, true, true, false, false, false};
    for (int tick = 0; tick < 10; ++tick) {
        channel.volumeDelta = 0;
        channel.updateFlags = 0;
        stepTremor(&channel);
        EXPECT_EQ(channel.volumeDelta, audible[tick] ? 0 : -40) << "tick " << tick;
        EXPECT_EQ(channel.updateFlags, UpdateVolume);
    }
}

TEST(ApplyInstrumentDefaults, RestartsTheNote) {
    Sample sample{};
    sample.volume = 48;
    sample.panning = 200;
    const struct {
        uint8_t waveControl;
        int8_t vibratoPos, tremoloPos;
    } cases[] = {{0x00, 0, 0}, {0x44, 9, -7}, {0x04, 9, 0}, {0x73, 0, -7}};
    for (const auto& c : cases) {
        Channel channel{};
        channel.waveControl = c.waveControl;
        channel.vibratoPos = 9;
        channel.tremoloPos = -7;
        channel.keyOff = true;
        channel.fadeoutVolume = 100;
        channel.autoVibratoPos = 50;
        channel.autoVibratoSweep = 3;
        channel.tremorCounter = 2;
        channel.volumeEnvelope = {12, 3, 777, 5, -9, true};
        channel.panningEnvelope = {12, 3, 888, 5, -9, true};
        applyInstrumentDefaults(&channel, &sample);
        EXPECT_EQ(channel.vibratoPos, c.vibratoPos) << int{c.waveControl};
        EXPECT_EQ(channel.tremoloPos, c.tremoloPos) << int{c.waveControl};
        EXPECT_EQ(channel.volume, 48);
        EXPECT_EQ(channel.panning, 200);
        EXPECT_FALSE(channel.keyOff);
        EXPECT_EQ(channel.fadeoutVolume, 65536);
        EXPECT_EQ(channel.autoVibratoPos, 0);
        EXPECT_EQ(channel.autoVibratoSweep, 0);
        EXPECT_EQ(channel.tremorCounter, 0);
        EXPECT_EQ(channel.updateFlags, UpdateVolume | UpdatePanning);
        const EnvelopeState& v = channel.volumeEnvelope;
        const EnvelopeState& p = channel.panningEnvelope;
        EXPECT_EQ((std::array{v.tick, v.nextPoint, v.valueFixed, v.value, v.slope}),
                  (std::array{0, 0, 777, 64, 0}));
        EXPECT_EQ((std::array{p.tick, p.nextPoint, p.valueFixed, p.value, p.slope}),
                  (std::array{0, 0, 888, 32, 0}));
        EXPECT_FALSE(v.finished || p.finished);
    }
}

TEST(ApplyVolumeColumn, RowTickPart) {
    const struct {
        uint8_t byte;
        int32_t volume, panning;
        uint8_t flags; // starting from UpdateTrigger
        uint8_t vibratoSpeed, vibratoDepth, portaSpeed;
    } cases[] = {
        {0x10, 0, 100, UpdateTrigger | UpdateVolume, 0, 0, 3},
        {0x50, 64, 100, UpdateTrigger | UpdateVolume, 0, 0, 3},
        {0x51, 30, 100, UpdateTrigger, 0, 0, 3},                // no command
        {0x0F, 30, 100, UpdateTrigger, 0, 0, 3},                // no command
        {0x65, 25, 100, UpdateTrigger | UpdateVolume, 0, 0, 3}, // slide down, first step
        {0x85, 25, 100, UpdateTrigger | UpdateVolume, 0, 0, 3}, // fine slide down
        {0x6F, 15, 100, UpdateTrigger | UpdateVolume, 0, 0, 3},
        {0x9F, 45, 100, UpdateTrigger | UpdateVolume, 0, 0, 3},
        {0xA7, 30, 100, UpdateTrigger, 7, 0, 3},
        {0xB9, 30, 100, UpdateTrigger, 0, 9, 3},
        {0xCF, 30, 240, UpdateTrigger | UpdatePanning, 0, 0, 3},
        {0xD5, 30, 95, UpdateTrigger | UpdatePanning, 0, 0, 3},
        {0xEF, 30, 115, UpdateTrigger | UpdatePanning, 0, 0, 3},
        {0xF0, 30, 100, 0, 0, 0, 3}, // keeps the stored speed, sets the target
        {0xF2, 30, 100, 0, 0, 0, 32},
    };
    for (const auto& c : cases) {
        Channel channel{};
        channel.volume = 30;
        channel.panning = 100;
        channel.tonePortaSpeed = 3;
        channel.notePeriod = 1234;
        channel.updateFlags = UpdateTrigger;
        applyVolumeColumn(&channel, c.byte);
        EXPECT_EQ(channel.volume, c.volume) << std::hex << int{c.byte};
        EXPECT_EQ(channel.panning, c.panning) << std::hex << int{c.byte};
        EXPECT_EQ(channel.updateFlags, c.flags) << std::hex << int{c.byte};
        EXPECT_EQ(channel.vibratoSpeed, c.vibratoSpeed) << std::hex << int{c.byte};
        EXPECT_EQ(channel.vibratoDepth, c.vibratoDepth) << std::hex << int{c.byte};
        EXPECT_EQ(channel.tonePortaSpeed, c.portaSpeed) << std::hex << int{c.byte};
        EXPECT_EQ(channel.portaTargetPeriod, c.byte >= 0xF0 ? 1234 : 0);
    }
}

TEST(ApplyVolumeColumn, SlidesStopAtTheLimits) {
    Channel channel{};
    channel.volume = 3;
    applyVolumeColumn(&channel, 0x8F);
    EXPECT_EQ(channel.volume, 0);
    channel.volume = 60;
    applyVolumeColumn(&channel, 0x7F);
    EXPECT_EQ(channel.volume, 64);
    channel.panning = 250;
    applyVolumeColumn(&channel, 0xEF); // panning is clamped only when applied
    EXPECT_EQ(channel.panning, 265);
}

} // namespace
} // namespace korvanthe
