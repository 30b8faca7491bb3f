// Notes, instruments and tone portamento on the row tick; key-off, fadeout,
// sample offset, finetune and the note delay.
#include "tests/replayer/replay_harness.h"

namespace korvanthe::testing {
namespace {

TEST(ReplayNotes, FirstNoteWithoutInstrumentPlaysAtVolumeAndPanningZero) {
    XmSong song = replaySong();
    song.patterns[0].at(0, 0) = {C4, 0, 0, 0, 0};
    Replay replay(song);
    ASSERT_TRUE(replay.loaded());
    replay.markVoices();
    replay.tick();
    EXPECT_TRUE(replay.triggered());
    EXPECT_EQ(replay.channel().volume, 0);
    EXPECT_EQ(replay.channel().panning, 0);
    EXPECT_EQ(replay.voice().volume, 0);
}

TEST(ReplayNotes, NoteAndInstrumentCombinations) {
    // Row 0 plays C-4 with instrument 1 at volume 16 (volume column 0x20);
    // row 1 holds the cell under test. Instrument 2's sample has volume 40.
    const struct {
        XmCell cell;
        bool triggered;
        int volume, period, notePeriod, instrumentIndex;
        const char* what;
    } cases[] = {
        {{C5, 1, 0, 0, 0}, true, 64, 3840, 3840, 0, "note and instrument: restart with defaults"},
        {{C5, 0, 0, 0, 0}, true, 16, 3840, 3840, 0, "note alone: restart, volume kept"},
        {{0, 1, 0, 0, 0}, false, 64, 4608, 4608, 0, "instrument alone: defaults, no restart"},
        {{C5, 2, 0, 0, 0}, true, 40, 3840, 3840, 1, "another instrument: its sample's volume"},
        {{C5, 2, 0, 3, 5},
         false,
         64,
         4608,
         3840,
         0,
         "porta: no restart, instrument held back, old sample's defaults"},
        {{C5, 0, 0xF4, 0, 0}, false, 16, 4608, 3840, 0, "volume-column porta: no restart"},
        {{C5, 0, 0, 5, 0}, false, 16, 4608, 3840, 0, "porta with volume slide: no restart"},
    };
    for (const auto& c : cases) {
        XmSong song = replaySong(1, 4);
        song.instruments.push_back(XmInstrument::withSample(loopedSample(40)));
        song.patterns[0].at(0, 0) = {C4, 1, 0x20, 0, 0};
        song.patterns[0].at(1, 0) = c.cell;
        Replay replay(song);
        ASSERT_TRUE(replay.loaded());
        replay.ticks(6);
        replay.markVoices();
        replay.tick();
        EXPECT_EQ(replay.triggered(), c.triggered) << c.what;
        EXPECT_EQ(replay.channel().volume, c.volume) << c.what;
        EXPECT_EQ(replay.channel().period, c.period) << c.what;
        EXPECT_EQ(replay.channel().notePeriod, c.notePeriod) << c.what;
        if (!c.triggered && c.period != c.notePeriod) {
            EXPECT_EQ(replay.channel().portaTargetPeriod, c.notePeriod) << c.what;
        }
        EXPECT_EQ(replay.channel().instrumentIndex, c.instrumentIndex) << c.what;
    }
}

TEST(ReplayNotes, KeyOffWithoutVolumeEnvelopeSilencesAtOnce) {
    // 97 (key-off), K00 and K05 all release on the row tick: K is no delay.
    for (XmCell release :
         {XmCell{KeyOff, 0, 0, 0, 0}, XmCell{0, 0, 0, 20, 0x00}, XmCell{0, 0, 0, 20, 0x05}}) {
        XmSong song = replaySong(1, 4);
        song.patterns[0].at(0, 0) = {C4, 1, 0, 0, 0};
        song.patterns[0].at(1, 0) = release;
        song.patterns[0].at(2, 0) = {C4, 0, 0, 0, 0}; // a note without instrument stays released
        Replay replay(song);
        ASSERT_TRUE(replay.loaded());
        replay.ticks(6);
        EXPECT_EQ(replay.voice().volume, 127);
        replay.tick();
        EXPECT_TRUE(replay.channel().keyOff);
        EXPECT_EQ(replay.voice().volume, 0) << int{release.note} << " " << int{release.effect};
        replay.ticks(6);
        EXPECT_TRUE(replay.channel().keyOff);
        EXPECT_EQ(replay.voice().volume, 0);
    }
}

TEST(ReplayNotes, KeyOffWithVolumeEnvelopeLeavesSustainAndFades) {
    XmSong song = replaySong(1, 4);
    XmInstrument& instrument = song.instruments[0];
    instrument.volumeEnvelope.points = {{0, 64}, {4, 32}};
    instrument.volumeEnvelope.sustainPoint = 0;
    instrument.volumeEnvelope.flags = 1 | 2; // on, sustain
    instrument.fadeout = 0x400;              // 2048 per tick
    song.patterns[0].at(0, 0) = {C4, 1, 0, 0, 0};
    song.patterns[0].at(1, 0) = {KeyOff, 0, 0, 0, 0};
    Replay replay(song);
    ASSERT_TRUE(replay.loaded());
    auto envelope = [](Replay& r) { return r.channel().volumeEnvelope.value; };
    auto fadeout = [](Replay& r) { return r.channel().fadeoutVolume; };
    expectTicks(replay, envelope, {64, 64, 64, 64, 64, 64}, "held at the sustain point");
    EXPECT_EQ(replay.channel().fadeoutVolume, 65536);
    expectTicks(replay, envelope,
                {
                    64, 56, 48, 40, // released: falls towards point 1
                    32, 32,         // last point reached
                },
                "released");
    EXPECT_TRUE(replay.channel().volumeEnvelope.finished);
    EXPECT_EQ(replay.channel().fadeoutVolume, 65536 - 6 * 2048);
    expectTicks(replay, fadeout, {65536 - 7 * 2048, 65536 - 8 * 2048}, "fadeout goes on");
}

TEST(ReplayNotes, SetEnvelopePositionMovesTheVolumeEnvelope) {
    // Points (0,64), (10,0): slope -419430 in 16.16 per tick.
    const struct {
        uint8_t parameter;
        int valueOnRow, valueNextTick;
        bool finished;
    } cases[] = {
        {0x05, 32, 25, false}, // tick 5 of the segment, then one step on
        {0x0A, 0, 0, false},   // on the last point: reached on the next step
        {0x20, 0, 0, true},    // beyond the last point: its value, finished
    };
    for (const auto& c : cases) {
        XmSong song = replaySong(1, 4);
        song.instruments[0].volumeEnvelope.points = {{0, 64}, {10, 0}};
        song.instruments[0].volumeEnvelope.flags = 1;
        song.patterns[0].at(0, 0) = {C4, 1, 0, 21, c.parameter};
        Replay replay(song);
        ASSERT_TRUE(replay.loaded());
        replay.tick();
        EXPECT_EQ(replay.channel().volumeEnvelope.value, c.valueOnRow) << int{c.parameter};
        EXPECT_EQ(replay.channel().volumeEnvelope.finished, c.finished) << int{c.parameter};
        replay.tick();
        EXPECT_EQ(replay.channel().volumeEnvelope.value, c.valueNextTick) << int{c.parameter};
    }
}

TEST(ReplayNotes, SampleOffsetWithinAndBeyondTheSample) {
    XmSong song = replaySong(1, 4);
    song.patterns[0].at(0, 0) = {C4, 1, 0, 9, 0x03}; // 768 < 1000 frames
    song.patterns[0].at(1, 0) = {C4, 0, 0, 9, 0x00}; // memory
    song.patterns[0].at(2, 0) = {C4, 0, 0, 9, 0x04}; // 1024: beyond the end
    Replay replay(song);
    ASSERT_TRUE(replay.loaded());
    replay.tick();
    EXPECT_EQ(replay.voice().positionInt, 768);
    replay.ticks(5);
    replay.markVoices();
    replay.tick();
    EXPECT_EQ(replay.voice().positionInt, 768);
    replay.ticks(5);
    ASSERT_NE(replay.voice().sample, nullptr);
    replay.tick();
    EXPECT_EQ(replay.voice().sample, nullptr);
}

TEST(ReplayNotes, FinetuneEffectHoldsForLaterNotesInOtherChannels) {
    XmSong song = replaySong(2, 4);
    song.patterns[0].at(0, 0) = {C4, 1, 0, 14, 0x5F}; // E5F
    song.patterns[0].at(1, 1) = {C4, 1, 0, 0, 0};
    Replay replay(song);
    ASSERT_TRUE(replay.loaded());
    replay.tick();
    EXPECT_EQ(replay.channel(0).period, 4608); // computed before the finetune changed
    replay.ticks(6);
    EXPECT_EQ(replay.channel(1).period, 4608 - 15 / 2);
}

TEST(ReplayNotes, NoteDelayTwoStartsWithDefaultsOnTickTwo) {
    XmSong song = replaySong(1, 4);
    song.patterns[0].at(0, 0) = {C4, 1, 0x20, 0, 0}; // volume 16
    song.patterns[0].at(1, 0) = {C5, 0, 0, 14, 0xD2};
    Replay replay(song);
    ASSERT_TRUE(replay.loaded());
    replay.ticks(6);
    const struct {
        int period, volume;
        bool triggered;
    } ticks[] = {
        {4608, 16, false}, {4608, 16, false}, // waiting: nothing of the row is applied
        {3840, 64, true},                     // tick 2: starts with the instrument's defaults
        {3840, 64, false}, {3840, 64, false}, {3840, 64, false},
    };
    for (const auto& expected : ticks) {
        replay.markVoices();
        replay.tick();
        EXPECT_EQ(replay.channel().period, expected.period);
        EXPECT_EQ(replay.channel().volume, expected.volume);
        EXPECT_EQ(replay.triggered(), expected.triggered);
    }
}

TEST(ReplayNotes, NoteDelayZeroNeverPlays) {
    XmSong song = replaySong(1, 4);
    song.patterns[0].at(0, 0) = {C4, 1, 0x20, 0, 0};
    song.patterns[0].at(1, 0) = {C5, 1, 0, 14, 0xD0};
    Replay replay(song);
    ASSERT_TRUE(replay.loaded());
    replay.ticks(6);
    const int voiceVolume = replay.voice().volume;
    expectTriggers(replay, {false, false, false, false, false, false});
    EXPECT_EQ(replay.channel().period, 4608);
    EXPECT_EQ(replay.channel().volume, 16);
    EXPECT_EQ(replay.voice().volume, voiceVolume);
}

} // namespace
} // namespace korvanthe::testing
