// Sample data as the loader leaves it for the mixer: decoded 16-bit frames,
// loops inside the sample, guard frames, and samples cut short by the file.
#include <gtest/gtest.h>

#include "module/xm_loader.h"
#include "tests/support/memory_file.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe {
namespace {

using testing::loadModuleFromBytes;
using testing::ModulePtr;

XmSong songWith(std::vector<XmSample> samples) {
    XmSong song;
    song.channelCount = 1;
    song.orders = {0};
    song.addPattern(1);
    XmInstrument instrument;
    instrument.samples = std::move(samples);
    song.instruments = {instrument};
    return song;
}

XmSample frames8(std::vector<int16_t> frames) {
    XmSample sample;
    sample.frames = std::move(frames);
    return sample;
}

std::vector<int16_t> loadedFrames(const Sample& sample, uint32_t count) {
    return std::vector<int16_t>(sample.data, sample.data + count);
}

TEST(SampleLoading, UndoesDeltaCoding) {
    XmSample eight = frames8({16, 32, 0});
    XmSample sixteen;
    sixteen.bits = 16;
    sixteen.frames = {100, 50, 80, -32768, 32767};
    EXPECT_EQ(deltaEncode(eight.frames, 8), (std::vector<uint8_t>{0x10, 0x10, 0xE0}));
    EXPECT_EQ(deltaEncode({100, 50, 80}, 16),
              (std::vector<uint8_t>{100, 0, 0xCE, 0xFF, 30, 0})); // 100, -50, 30
    ModulePtr module = loadModuleFromBytes(writeXm(songWith({eight, sixteen})));
    ASSERT_NE(module, nullptr);
    const Sample& a = *module->instruments[0].samples[0];
    const Sample& b = *module->instruments[0].samples[1];
    EXPECT_EQ(loadedFrames(a, 3), (std::vector<int16_t>{4096, 8192, 0}));
    EXPECT_EQ(loadedFrames(b, 5), (std::vector<int16_t>{100, 50, 80, -32768, 32767}));
    EXPECT_EQ(a.bitsPerSample, 16);
    EXPECT_EQ(b.bitsPerSample, 16);
}

// Header fields in bytes as stored; the result in frames.
TEST(SampleLoading, NormalisesLoops) {
    struct Case {
        const char* what;
        uint8_t type;
        uint32_t length, loopStart, loopLength; // stored, bytes
        uint8_t loopType;
        uint32_t frames, start, loopFrames; // loaded
    };
    const Case cases[] = {
        {"no loop", 0x00, 40, 10, 20, LoopNone, 40, 0, 40},
        {"forward", 0x01, 40, 10, 20, LoopForward, 40, 10, 20},
        {"ping-pong", 0x02, 40, 10, 20, LoopPingPong, 40, 10, 20},
        {"both bits: ping-pong", 0x03, 40, 10, 20, LoopPingPong, 40, 10, 20},
        {"16-bit, no loop", 0x10, 40, 10, 20, LoopNone, 20, 0, 20},
        {"16-bit bytes become frames", 0x11, 1000, 200, 400, LoopForward, 500, 100, 200},
        {"16-bit odd byte counts", 0x12, 41, 11, 21, LoopPingPong, 20, 5, 10},
        {"loop length 0", 0x01, 40, 10, 0, LoopNone, 40, 0, 40},
        {"16-bit loop length 1 byte", 0x11, 40, 10, 1, LoopNone, 20, 0, 20},
        {"unlooped with loop fields", 0x00, 40, 30, 5, LoopNone, 40, 0, 40},
        {"loop past the end is cut", 0x01, 40, 30, 100, LoopForward, 40, 30, 10},
        {"loop start at the end", 0x02, 40, 40, 5, LoopNone, 40, 0, 40},
        {"loop start far beyond", 0x01, 40, 0xFFFFFFF0, 0x20, LoopNone, 40, 0, 40},
    };
    for (const Case& c : cases) {
        XmSample sample = frames8(std::vector<int16_t>(c.length, 1));
        sample.storedType = c.type;
        sample.storedLength = c.length;
        sample.storedLoopStart = c.loopStart;
        sample.storedLoopLength = c.loopLength;
        XmLoadReport report;
        ModulePtr module = loadModuleFromBytes(writeXm(songWith({sample})), &report);
        ASSERT_NE(module, nullptr) << c.what;
        const Sample& loaded = *module->instruments[0].samples[0];
        EXPECT_EQ(loaded.loopType, c.loopType) << c.what;
        EXPECT_EQ(loaded.length, c.frames) << c.what;
        EXPECT_EQ(loaded.loopStart, c.start) << c.what;
        EXPECT_EQ(loaded.loopLength, c.loopFrames) << c.what;
        EXPECT_EQ(report.storedSampleBits[0][0], c.type & 0x10 ? 16 : 8) << c.what;
    }
}

TEST(SampleLoading, WritesTheGuardFrameAfterTheLoop) {
    struct Case {
        XmLoop loop;
        int guardCopiesFrame; // -1: the guard frame stays 0
    };
    const Case cases[] = {{XmLoop::Forward, 10}, {XmLoop::PingPong, 29}, {XmLoop::None, -1}};
    for (const Case& c : cases) {
        XmSample sample;
        for (int i = 0; i < 40; ++i) {
            sample.frames.push_back(static_cast<int16_t>(i + 1));
        }
        sample.loop = c.loop;
        sample.loopStart = 10;
        sample.loopLength = 20;
        ModulePtr module = loadModuleFromBytes(writeXm(songWith({sample})));
        ASSERT_NE(module, nullptr);
        const Sample& loaded = *module->instruments[0].samples[0];
        uint32_t end = loaded.loopStart + loaded.loopLength;
        int16_t want = c.guardCopiesFrame < 0 ? 0 : loaded.data[c.guardCopiesFrame];
        EXPECT_EQ(loaded.data[end], want);
        for (uint32_t i = 41; i < 40 + SampleGuardFrames; ++i) {
            EXPECT_EQ(loaded.data[i], 0) << "frame " << i;
        }
    }
}

TEST(SampleLoading, EmptySampleHasNoData) {
    ModulePtr module = loadModuleFromBytes(writeXm(songWith({XmSample{}})));
    ASSERT_NE(module, nullptr);
    const Sample& loaded = *module->instruments[0].samples[0];
    EXPECT_EQ(loaded.length, 0u);
    EXPECT_EQ(loaded.data, nullptr);
    EXPECT_EQ(loaded.loopType, LoopNone);
    EXPECT_EQ(loaded.bitsPerSample, 16);
}

// A 16-bit sample of 7 bytes holds 3 frames; the next sample begins at the
// seventh byte.
TEST(SampleLoading, OddSixteenBitLengthLeavesItsLastByteToTheNextSample) {
    XmSample first;
    first.bits = 16;
    first.frames = {0, 0, 0, 0x0500}; // the last delta is stored as 0x00 0x05
    first.storedLength = 7;
    XmSample second = frames8({1, 2, 3});
    ModulePtr module = loadModuleFromBytes(writeXm(songWith({first, second})));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->instruments[0].samples[0]->length, 3u);
    const Sample& next = *module->instruments[0].samples[1];
    EXPECT_EQ(loadedFrames(next, 2), (std::vector<int16_t>{0, 0x0500}));
}

TEST(SampleLoading, SampleCutByTheEndOfFileKeepsTheFramesItHas) {
    XmSample sample;
    sample.bits = 16;
    for (int i = 0; i < 100; ++i) {
        sample.frames.push_back(static_cast<int16_t>(i * 10));
    }
    sample.loop = XmLoop::Forward;
    sample.loopStart = 50;
    sample.loopLength = 50;
    const std::vector<uint8_t> whole = writeXm(songWith({sample}));
    std::vector<uint8_t> bytes(whole.begin(), whole.end() - 121); // 39 frames and a byte survive

    XmLoadReport report;
    ModulePtr module = loadModuleFromBytes(bytes, &report);
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(report.truncated);
    const Sample& loaded = *module->instruments[0].samples[0];
    EXPECT_EQ(loaded.length, 39u);
    EXPECT_EQ(loaded.loopType, LoopNone);
    EXPECT_EQ(loaded.loopLength, 39u);
    EXPECT_EQ(loaded.data[38], 380);

    bytes.assign(whole.begin(), whole.end() - 60); // the loop now ends at the cut
    module = loadModuleFromBytes(bytes, &report);
    ASSERT_NE(module, nullptr);
    const Sample& cut = *module->instruments[0].samples[0];
    EXPECT_EQ(cut.length, 70u);
    EXPECT_EQ(cut.loopType, LoopForward);
    EXPECT_EQ(cut.loopStart, 50u);
    EXPECT_EQ(cut.loopLength, 20u);
    EXPECT_EQ(cut.data[70], cut.data[50]);
}

// The loader reads and decodes sample data in pieces of 64 KiB: samples of
// several pieces, 8- and 16-bit, come back frame for frame, followed by the
// zero guard frames, also when the file ends in the middle of a later piece.
TEST(SampleLoading, LongSamplesComeBackWholeAcrossTheReadPieces) {
    XmSample eight;
    XmSample sixteen;
    sixteen.bits = 16;
    uint32_t noise = 12345;
    for (int i = 0; i < 200001; ++i) {
        noise = noise * 1103515245u + 12345u;
        // 8-bit frames are given as their 8-bit values and load scaled by 256.
        eight.frames.push_back(static_cast<int8_t>(noise >> 20));
        if (i < 100003) {
            sixteen.frames.push_back(static_cast<int16_t>(noise >> 8));
        }
    }
    const std::vector<uint8_t> whole = writeXm(songWith({eight, sixteen}));
    ModulePtr module = loadModuleFromBytes(whole);
    ASSERT_NE(module, nullptr);
    std::vector<int16_t> eightLoaded;
    for (int16_t value : eight.frames) {
        eightLoaded.push_back(static_cast<int16_t>(value * 256));
    }
    const std::vector<int16_t>* expected[] = {&eightLoaded, &sixteen.frames};
    for (int j = 0; j < 2; ++j) {
        const Sample& loaded = *module->instruments[0].samples[j];
        const std::vector<int16_t>& frames = *expected[j];
        ASSERT_EQ(loaded.length, frames.size());
        EXPECT_EQ(loadedFrames(loaded, loaded.length), frames) << "sample " << j;
        for (uint32_t k = 0; k < SampleGuardFrames; ++k) {
            EXPECT_EQ(loaded.data[loaded.length + k], 0) << "sample " << j << ", guard " << k;
        }
    }

    // Cut in the 16-bit sample's fourth piece, in the middle of a frame:
    // 2 x 81000 bytes and one more survive.
    const size_t cut = whole.size() - (100003 - 81000) * 2 + 1;
    XmLoadReport report;
    module = loadModuleFromBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + cut), &report);
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(report.truncated);
    const Sample& kept = *module->instruments[0].samples[1];
    ASSERT_EQ(kept.length, 81000u);
    EXPECT_EQ(loadedFrames(kept, kept.length),
              std::vector<int16_t>(sixteen.frames.begin(), sixteen.frames.begin() + 81000));
    for (uint32_t k = 0; k < SampleGuardFrames; ++k) {
        EXPECT_EQ(kept.data[kept.length + k], 0) << "guard " << k;
    }
}

TEST(SampleLoading, HostileLengthAllocatesOnlyWhatTheFileHolds) {
    XmSample sample = frames8({5, 6, 7});
    sample.storedLength = 0xFFFFFFFF;
    sample.loop = XmLoop::Forward;
    sample.storedLoopStart = 0;
    sample.storedLoopLength = 0xFFFFFFFF;
    XmLoadReport report;
    ModulePtr module = loadModuleFromBytes(writeXm(songWith({sample, sample})), &report);
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(report.truncated);
    const Sample& first = *module->instruments[0].samples[0];
    EXPECT_EQ(first.length, 6u); // both samples' bytes
    EXPECT_EQ(first.loopLength, 6u);
    EXPECT_EQ(module->instruments[0].samples[1]->length, 0u);
    EXPECT_EQ(module->instruments[0].samples[1]->data, nullptr);
}

} // namespace
} // namespace korvanthe
