// The song header, patterns, instruments and refusals of the XM loader, on
// songs built with the XM writer and read through memory-backed callbacks.
#include <gtest/gtest.h>

#include "module/xm_loader.h"
#include "tests/support/memory_file.h"
#include "tests/support/xm_songs.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe {
namespace {

using testing::loadModuleFromBytes;
using testing::ModulePtr;
using testing::smallSong;

ModulePtr load(const XmSong& song, XmLoadReport* report = nullptr) {
    return loadModuleFromBytes(writeXm(song), report);
}

TEST(XmLoader, ReadsTheSongHeader) {
    XmSong song = smallSong(3);
    song.orders = {0, 0, 0};
    song.restartPosition = 2;
    song.flags = 0;
    song.defaultSpeed = 3;
    song.defaultBpm = 150;
    song.name = "header test";
    XmLoadReport report;
    ModulePtr module = load(song, &report);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->songLength, 3);
    EXPECT_EQ(module->restartPosition, 2);
    EXPECT_EQ(module->channelCount, 3);
    EXPECT_EQ(module->flags, 0);
    EXPECT_EQ(module->defaultSpeed, 3);
    EXPECT_EQ(module->defaultBpm, 150);
    EXPECT_EQ(module->initialGlobalVolume, 64);
    EXPECT_NE(module->tickHandler, nullptr);
    EXPECT_STREQ(report.name, "header test");
    EXPECT_EQ(report.error, LoadError::None);
    EXPECT_FALSE(report.truncated);
}

TEST(XmLoader, RefusesAWrongIdWithoutReadingFurther) {
    XmSong song = smallSong();
    song.storedId = "Extended Module:X";
    XmLoadReport report;
    EXPECT_EQ(load(song, &report), nullptr);
    EXPECT_EQ(report.error, LoadError::NotXm);
    EXPECT_EQ(testing::furthestMemoryRead(), 17u);
    EXPECT_EQ(testing::openMemoryStreams(), 0);
}

TEST(XmLoader, RefusesWhatThePlayerCannotPlay) {
    struct Case {
        const char* what;
        void (*change)(XmSong&);
        LoadError error;
    };
    const Case cases[] = {
        {"33 channels", [](XmSong& s) { s.channelCount = 33; }, LoadError::TooManyChannels},
        {"no channels", [](XmSong& s) { s.channelCount = 0; }, LoadError::NoChannels},
        {"song length 0", [](XmSong& s) { s.storedSongLength = 0; }, LoadError::BadSongLength},
        {"song length 257", [](XmSong& s) { s.storedSongLength = 257; }, LoadError::BadSongLength},
        {"instrument count 40000", [](XmSong& s) { s.storedInstrumentCount = 40000; },
         LoadError::BadInstrumentCount},
        {"patterns of 33 x 65535 x 32 cells", testing::makePatternsTooLarge,
         LoadError::PatternsTooLarge},
        {"33 samples", testing::makeTooManySamples, LoadError::TooManySamples},
        {"17 samples with 257-byte sample headers", testing::makeLargeSampleHeaders,
         LoadError::LargeSampleHeaders},
        {"format version 1.01", [](XmSong& s) { s.version = 0x0101; }, LoadError::OldVersion},
    };
    for (const Case& c : cases) {
        XmSong song = smallSong();
        c.change(song);
        XmLoadReport report;
        EXPECT_EQ(load(song, &report), nullptr) << c.what;
        EXPECT_EQ(report.error, c.error) << c.what;
        EXPECT_EQ(testing::openMemoryStreams(), 0) << c.what;
    }
}

TEST(XmLoader, MissingFileAndMissingCallbacksAreRefused) {
    testing::useMemoryFiles();
    XmLoadReport report;
    EXPECT_EQ(createModule("no such file.xm", &report), nullptr);
    EXPECT_EQ(report.error, LoadError::FileNotOpened);
    setFileCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(createModule("no such file.xm", &report), nullptr);
    EXPECT_EQ(report.error, LoadError::NoFileCallbacks);
}

TEST(XmLoader, RestartPositionOutsideTheSongBecomesZero) {
    XmSong song = smallSong();
    song.orders = {0, 0};
    song.restartPosition = 2;
    ModulePtr module = load(song);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->restartPosition, 0);
}

TEST(XmLoader, PatternSlotsCoverStoredAndOrderedPatterns) {
    struct Case {
        int stored;
        std::vector<uint8_t> orders;
        uint16_t songLength;
        int used;
        int slots;
    };
    const Case cases[] = {
        {0, {0, 3}, 2, 4, 4},            // every pattern made up
        {10, {0, 1, 2, 3, 4}, 5, 5, 10}, // stored patterns beyond the orders stay
        {2, {0, 1, 7}, 2, 2, 2},         // orders beyond the song length do not count
        {1, {0, 2}, 2, 3, 3},            // pattern 1 and 2 made up
    };
    for (const Case& c : cases) {
        XmSong song = smallSong();
        song.patterns.clear();
        for (int p = 0; p < c.stored; ++p) {
            song.addPattern(8);
        }
        song.orders = c.orders;
        song.storedSongLength = c.songLength;
        ModulePtr module = load(song);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(module->usedPatternCount, c.used);
        EXPECT_EQ(module->patternSlotCount, c.slots);
        for (int p = 0; p < module->patternSlotCount; ++p) {
            bool madeUp = p >= c.stored && p < c.used;
            int rows = p < c.stored ? 8 : (madeUp ? 64 : 0);
            EXPECT_EQ(module->patterns[p].rowCount, rows) << "pattern " << p;
            EXPECT_EQ(module->patterns[p].cells != nullptr, rows > 0) << "pattern " << p;
        }
    }
}

TEST(XmLoader, WrittenCellsComeBackUnchanged) {
    XmSong song = smallSong(5);
    XmPattern& pattern = song.patterns[0];
    pattern.at(0, 0) = {xmNote("C-4"), 1, 0x40, 0x0F, 0x06}; // all five: stored plain
    pattern.at(0, 4) = {0, 0, 0, 0x0A, 0};                   // effect only
    pattern.at(1, 2) = {96, 128, 0x10, 35, 0xFF};
    pattern.at(3, 1) = {0, 5, 0, 0, 0x20};
    song.addPattern(2).packing = XmPacking::Unpacked;
    song.patterns[1].at(1, 3) = {12, 3, 0x50, 8, 0x80};
    song.orders = {0, 1};
    ModulePtr module = load(song);
    ASSERT_NE(module, nullptr);
    for (int p = 0; p < 2; ++p) {
        const XmPattern& written = song.patterns[p];
        for (int row = 0; row < written.rowCount; ++row) {
            for (int channel = 0; channel < 5; ++channel) {
                const XmCell& want = written.at(row, channel);
                const PatternCell& got = module->patterns[p].cells[row * 5 + channel];
                EXPECT_EQ((XmCell{got.note, got.instrument, got.volume, got.effect, got.parameter}),
                          want)
                    << "pattern " << p << " row " << row << " channel " << channel;
            }
        }
    }
}

// Packed bytes written by hand: each row of the table is one cell, and the
// pattern after it shows that exactly the cell bytes were consumed.
TEST(XmLoader, DecodesPackedCellBytes) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        PatternCell cell;
    };
    const Case cases[] = {
        {"mask alone is empty", {0x80}, {0, 0, 0, 0, 0}},
        {"plain cell without note", {0x00, 1, 2, 3, 4}, {0, 1, 2, 3, 4}},
        {"mask note and parameter", {0x91, 50, 7}, {50, 0, 0, 0, 7}},
        {"mask bits 5 and 6 ignored", {0xE2, 9}, {0, 9, 0, 0, 0}},
        {"key-off", {0x81, 97}, {KeyOffNote, 0, 0, 0, 0}},
        {"note 98 is no note", {0x81, 98}, {0, 0, 0, 0, 0}},
        {"note 254 is no note", {0x81, 254}, {0, 0, 0, 0, 0}},
        {"instrument 128 kept", {0x82, 128}, {0, 128, 0, 0, 0}},
        {"instrument 129 dropped", {0x03, 129, 0, 0, 0}, {3, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        XmSong song = smallSong(1);
        song.patterns[0] = XmPattern(1, 1);
        song.patterns[0].storedData = c.bytes;
        song.addPattern(1).at(0, 0) = {1, 2, 3, 4, 5};
        song.orders = {0, 1};
        ModulePtr module = load(song);
        ASSERT_NE(module, nullptr) << c.what;
        const PatternCell& got = module->patterns[0].cells[0];
        EXPECT_EQ(got.note, c.cell.note) << c.what;
        EXPECT_EQ(got.instrument, c.cell.instrument) << c.what;
        EXPECT_EQ(got.volume, c.cell.volume) << c.what;
        EXPECT_EQ(got.effect, c.cell.effect) << c.what;
        EXPECT_EQ(got.parameter, c.cell.parameter) << c.what;
        EXPECT_EQ(module->patterns[1].cells[0].parameter, 5) << c.what;
    }
}

TEST(XmLoader, EmptyAndRowlessPatterns) {
    XmSong song = smallSong(2);
    song.patterns[0] = XmPattern(20, 2); // all empty: packed size 0, nine header bytes
    song.addPattern(0);                  // no rows: one empty row
    song.addPattern(3).at(2, 1) = {30, 1, 0, 0, 0};
    song.orders = {0, 1, 2};
    ModulePtr module = load(song);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->patterns[0].rowCount, 20);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(module->patterns[0].cells[i].note, 0);
    }
    EXPECT_EQ(module->patterns[1].rowCount, 1);
    ASSERT_NE(module->patterns[1].cells, nullptr);
    EXPECT_EQ(module->patterns[2].cells[2 * 2 + 1].note, 30);
}

TEST(XmLoader, PackedSizeDoesNotLimitDecoding) {
    XmSong song = smallSong(1);
    song.patterns[0] = XmPattern(2, 1);
    song.patterns[0].at(1, 0) = {40, 0, 0, 0, 0};
    song.patterns[0].storedPackedSize = 1;
    ModulePtr module = load(song);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->patterns[0].cells[1].note, 40);
}

XmInstrument envelopeInstrument() {
    XmInstrument instrument = XmInstrument::withSample(XmSample::sine8(16, 32));
    instrument.volumeEnvelope.points = {{0, 64}, {10, 32}, {20, 0}};
    instrument.volumeEnvelope.flags = EnvelopeOn | EnvelopeSustain | EnvelopeLoop;
    instrument.volumeEnvelope.sustainPoint = 1;
    instrument.volumeEnvelope.loopStart = 0;
    instrument.volumeEnvelope.loopEnd = 2;
    instrument.panningEnvelope = instrument.volumeEnvelope;
    return instrument;
}

TEST(XmLoader, ReadsInstrumentFields) {
    XmSong song = smallSong();
    XmInstrument instrument = envelopeInstrument();
    instrument.samples.push_back(XmSample::sine8(16, 32));
    instrument.keymap[0] = 1;
    instrument.keymap[95] = 15;
    instrument.vibratoType = 2;
    instrument.vibratoSweep = 3;
    instrument.vibratoDepth = 4;
    instrument.vibratoRate = 5;
    instrument.fadeout = 0x0800;
    song.instruments = {instrument};
    ModulePtr module = load(song);
    ASSERT_NE(module, nullptr);
    const Instrument& loaded = module->instruments[0];
    EXPECT_EQ(loaded.sampleCount, 2);
    EXPECT_EQ(loaded.keymap[0], 1);
    EXPECT_EQ(loaded.keymap[95], 15);
    EXPECT_EQ(loaded.volumePointCount, 3);
    EXPECT_EQ(loaded.volumeEnvelopePoints[1].tick, 10);
    EXPECT_EQ(loaded.volumeEnvelopePoints[1].value, 32);
    EXPECT_EQ(loaded.panningEnvelopePoints[2].tick, 20);
    EXPECT_EQ(loaded.volumeEnvelopeFlags, EnvelopeOn | EnvelopeSustain | EnvelopeLoop);
    EXPECT_EQ(loaded.volumeSustainPoint, 1);
    EXPECT_EQ(loaded.volumeLoopEnd, 2);
    EXPECT_EQ(loaded.vibratoType, 2);
    EXPECT_EQ(loaded.vibratoSweep, 3);
    EXPECT_EQ(loaded.vibratoDepth, 4);
    EXPECT_EQ(loaded.vibratoRate, 5);
    EXPECT_EQ(loaded.fadeout, 0x1000);
    for (int j = 2; j < MaxSamplesPerInstrument; ++j) {
        EXPECT_EQ(loaded.samples[j], &emptySample);
    }
}

TEST(XmLoader, EnvelopesNeverReachPastTheirPoints) {
    struct Case {
        const char* what;
        void (*change)(XmEnvelope&);
        uint8_t pointCount;
        uint8_t flags;
    };
    const Case cases[] = {
        {"as written", [](XmEnvelope&) {}, 3, EnvelopeOn | EnvelopeSustain | EnvelopeLoop},
        {"one point is off", [](XmEnvelope& e) { e.storedPointCount = 1; }, 1, 0},
        {"13 points become 12", [](XmEnvelope& e) { e.storedPointCount = 13; }, 12,
         EnvelopeOn | EnvelopeSustain | EnvelopeLoop},
        {"sustain outside", [](XmEnvelope& e) { e.sustainPoint = 3; }, 3,
         EnvelopeOn | EnvelopeLoop},
        {"loop end outside", [](XmEnvelope& e) { e.loopEnd = 3; }, 3, EnvelopeOn | EnvelopeSustain},
        {"loop start outside", [](XmEnvelope& e) { e.loopStart = 200; }, 3,
         EnvelopeOn | EnvelopeSustain},
    };
    for (const Case& c : cases) {
        XmSong song = smallSong();
        XmInstrument instrument = envelopeInstrument();
        c.change(instrument.panningEnvelope);
        song.instruments = {instrument};
        ModulePtr module = load(song);
        ASSERT_NE(module, nullptr) << c.what;
        const Instrument& loaded = module->instruments[0];
        EXPECT_EQ(loaded.panningPointCount, c.pointCount) << c.what;
        EXPECT_EQ(loaded.panningEnvelopeFlags, c.flags) << c.what;
        EXPECT_EQ(loaded.panningEnvelopePoints[0].value, 64) << c.what; // points kept
        EXPECT_EQ(loaded.volumeEnvelopeFlags, EnvelopeOn | EnvelopeSustain | EnvelopeLoop);
    }
}

TEST(XmLoader, InstrumentWithoutSamplesContinuesAtItsHeaderEnd) {
    XmSong song = smallSong();
    XmInstrument empty;
    empty.storedHeaderSize = 100; // 71 padding bytes the loader must skip
    XmInstrument second = XmInstrument::withSample(XmSample::sine8(8, 24));
    second.fadeout = 7;
    song.instruments = {empty, second};
    ModulePtr module = load(song);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->instruments[0].sampleCount, 0);
    for (Sample* sample : module->instruments[0].samples) {
        EXPECT_EQ(sample, &emptySample);
    }
    EXPECT_EQ(module->instruments[1].sampleCount, 1);
    EXPECT_EQ(module->instruments[1].fadeout, 14);
    EXPECT_EQ(module->instruments[1].samples[0]->length, 24u);
}

TEST(XmLoader, LoadsMoreThan128Instruments) {
    XmSong song = smallSong();
    song.instruments.resize(130);
    song.instruments[129] = XmInstrument::withSample(XmSample::sine8(8, 10));
    ModulePtr module = load(song);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->instrumentCount, 130);
    EXPECT_EQ(module->instruments[129].samples[0]->length, 10u);
}

// loadXm stops at the instrument with 33 samples: patterns and the first
// instrument are complete, the failing one keeps sampleCount 0, and
// freeModule releases exactly that (the sanitizer build checks for leaks).
TEST(XmLoader, FreesAPartlyLoadedModule) {
    XmSong song = smallSong();
    song.orders = {0, 2};
    XmInstrument first = XmInstrument::withSample(XmSample::sine16(8, 40));
    first.samples.push_back(XmSample::sine8(8, 20));
    XmInstrument tooMany = XmInstrument::withSample(XmSample::sine8(8, 16));
    tooMany.storedSampleCount = 33;
    song.instruments = {first, tooMany, first};
    testing::useMemoryFiles();
    testing::addMemoryFile("partial.xm", writeXm(song));

    auto* module = static_cast<Module*>(std::calloc(1, sizeof(Module)));
    PlayerFile* file = openPlayerFile("partial.xm");
    XmLoadReport report;
    EXPECT_FALSE(loadXm(module, file, &report));
    closePlayerFile(file);
    EXPECT_EQ(report.error, LoadError::TooManySamples);
    EXPECT_EQ(module->patternSlotCount, 3);
    EXPECT_NE(module->patterns[2].cells, nullptr);
    EXPECT_EQ(module->instruments[0].sampleCount, 2);
    EXPECT_NE(module->instruments[0].samples[1]->data, nullptr);
    EXPECT_EQ(module->instruments[1].sampleCount, 0);
    EXPECT_EQ(module->instruments[2].sampleCount, 0);
    EXPECT_TRUE(freeModule(module));
    EXPECT_FALSE(freeModule(nullptr));
}

} // namespace
} // namespace korvanthe
