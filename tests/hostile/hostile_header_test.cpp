// Headers that ask for far more than the file holds. Each file is a few
// hundred bytes to a few kilobytes; none may make the loader allocate or
// read far beyond that, or keep it busy for more than a moment.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "module/xm_loader.h"
#include "tests/support/memory_file.h"

namespace korvanthe {
namespace {

using testing::furthestMemoryRead;
using testing::loadModuleFromBytes;
using testing::ModulePtr;

constexpr size_t SongHeaderEnd = 60 + 276;

// Raw little-endian bytes, so that every field can be as hostile as it likes.
struct Bytes {
    std::vector<uint8_t> data;
    void u8(uint8_t v) { data.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void zeros(size_t n) { data.insert(data.end(), n, 0); }
};

struct Header {
    uint16_t songLength = 1;
    uint16_t channels = 1;
    uint16_t storedPatterns = 0;
    uint16_t instruments = 0;
    uint8_t order = 0; // every order entry
};

Bytes songHeader(const Header& h) {
    Bytes b;
    const char id[] = "Extended Module: ";
    b.data.assign(id, id + 17);
    b.zeros(20);
    b.u8(0x1A);
    b.zeros(20);
    b.u16(0x0104);
    b.u32(276);
    b.u16(h.songLength);
    b.u16(0);
    b.u16(h.channels);
    b.u16(h.storedPatterns);
    b.u16(h.instruments);
    b.u16(1);
    b.u16(6);
    b.u16(125);
    b.data.insert(b.data.end(), 256, h.order);
    return b;
}

void patternHeader(Bytes& b, uint16_t rows, uint16_t packedSize) {
    b.u32(9);
    b.u8(0);
    b.u16(rows);
    b.u16(packedSize);
}

// An instrument header of `headerSize` with `samples` samples, each sample
// header declaring `length` bytes of 16-bit data with a forward loop.
void instrument(Bytes& b, uint32_t headerSize, uint16_t samples, uint32_t length) {
    const size_t start = b.data.size();
    b.u32(headerSize);
    b.zeros(23);
    b.u16(samples);
    if (samples == 0) {
        return;
    }
    b.u32(40);
    b.zeros(96 + 48 + 48 + 16);
    if (headerSize > b.data.size() - start) {
        b.zeros(headerSize - (b.data.size() - start));
    }
    for (int s = 0; s < samples; ++s) {
        b.u32(length);
        b.u32(length / 4);
        b.u32(length);
        b.u8(64);
        b.u8(0);
        b.u8(0x11); // forward loop, 16-bit
        b.u8(128);
        b.u8(0);
        b.zeros(23);
    }
}

size_t patternCells(const Module& module) {
    size_t cells = 0;
    for (int p = 0; p < module.patternSlotCount; ++p) {
        cells += static_cast<size_t>(module.patterns[p].rowCount) * module.channelCount;
    }
    return cells;
}

// 65535 stored patterns of 65535 rows each, all declared empty: 9 bytes of
// file per pattern against 65535 rows of cells. The song's cell budget (2 Mi
// cells) refuses it after 32 patterns, long before the end of the headers;
// the file is cut there.
TEST(HostileHeader, SixtyFiveThousandPatternsOfSixtyFiveThousandRowsAreRefused) {
    Header h;
    h.storedPatterns = 65535;
    Bytes b = songHeader(h);
    for (int p = 0; p < 40; ++p) {
        patternHeader(b, 65535, 0);
    }
    XmLoadReport report;
    EXPECT_EQ(loadModuleFromBytes(b.data, &report), nullptr);
    EXPECT_EQ(report.error, LoadError::PatternsTooLarge);
    // Refused at the pattern that broke the budget: 32 of 65535 rows fit.
    EXPECT_EQ(furthestMemoryRead(), SongHeaderEnd + 33 * 9);
}

// The same header with the file ending right after it: the pattern whose
// header the end cuts reads as 0 rows and gets one empty row; the patterns
// past it hold nothing and no order names them, so they get no cells.
TEST(HostileHeader, SixtyFiveThousandPatternsInAFileThatEndsLoadShort) {
    Header h;
    h.storedPatterns = 65535;
    h.channels = 32;
    Bytes b = songHeader(h);
    patternHeader(b, 65535, 0);
    XmLoadReport report;
    ModulePtr module = loadModuleFromBytes(b.data, &report);
    ASSERT_NE(module, nullptr) << loadErrorText(report.error);
    EXPECT_TRUE(report.truncated);
    EXPECT_EQ(module->patternSlotCount, 65535);
    EXPECT_EQ(module->patterns[0].rowCount, 65535);
    EXPECT_EQ(module->patterns[65534].rowCount, 0);
    EXPECT_EQ(patternCells(*module), size_t{65535} * 32 + 32);
}

// Sample headers declaring 4 GiB each: the data read and kept is what the
// file holds, and each loop is cut to the frames that exist.
TEST(HostileHeader, HugeSampleLengthsKeepOnlyTheFramesTheFileHolds) {
    struct Case {
        uint16_t samples;
        uint32_t length;
        size_t dataBytes; // sample data actually in the file
    };
    const Case cases[] = {
        {1, 0xFFFFFFFFu, 1000},
        {16, 0xFFFFFFFEu, 64},
        {2, 0x80000000u, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.samples);
        Header h;
        h.storedPatterns = 1;
        h.instruments = 1;
        Bytes b = songHeader(h);
        patternHeader(b, 1, 0);
        instrument(b, 263, c.samples, c.length);
        for (size_t i = 0; i < c.dataBytes; ++i) {
            b.u8(static_cast<uint8_t>(i * 7));
        }
        XmLoadReport report;
        ModulePtr module = loadModuleFromBytes(b.data, &report);
        ASSERT_NE(module, nullptr);
        EXPECT_TRUE(report.truncated);
        const Instrument& ins = module->instruments[0];
        ASSERT_EQ(ins.sampleCount, c.samples);
        // The first sample takes every byte there is; the others find none.
        EXPECT_EQ(ins.samples[0]->length, c.dataBytes / 2);
        EXPECT_LE(ins.samples[0]->loopStart + ins.samples[0]->loopLength, c.dataBytes / 2);
        for (int s = 1; s < c.samples; ++s) {
            EXPECT_EQ(ins.samples[s]->length, 0u);
            EXPECT_EQ(ins.samples[s]->data, nullptr);
        }
    }
}

// All 256 orders name pattern 255 and the file stores one pattern: 255
// patterns are made up with 64 empty rows each (64 x 256 x channels cells).
TEST(HostileHeader, TwoHundredFiftySixOrdersNamingPattern255MakeUpTheRest) {
    Header h;
    h.songLength = 256;
    h.channels = 32;
    h.storedPatterns = 1;
    h.order = 255;
    Bytes b = songHeader(h);
    patternHeader(b, 1, 0);
    ModulePtr module = loadModuleFromBytes(b.data);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->usedPatternCount, 256);
    EXPECT_EQ(module->patternSlotCount, 256);
    EXPECT_EQ(module->patterns[0].rowCount, 1);
    EXPECT_EQ(module->patterns[255].rowCount, 64);
    EXPECT_EQ(patternCells(*module), size_t{32} + 255 * 64 * 32);
}

// Instruments whose header size is 0 send the loader back to their own start.
// Without samples every one of 32767 instruments reads the same 29 bytes and
// loads empty; with a sample the sample header overlaps the instrument header,
// and the loader still moves on through the file.
TEST(HostileHeader, InstrumentsWithZeroLengthHeadersLoadWithoutLooping) {
    {
        Header h;
        h.storedPatterns = 1;
        h.instruments = 32767;
        Bytes b = songHeader(h);
        patternHeader(b, 1, 0);
        instrument(b, 0, 0, 0);
        ModulePtr module = loadModuleFromBytes(b.data);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(module->instrumentCount, 32767);
        EXPECT_EQ(module->instruments[32766].sampleCount, 0);
        EXPECT_EQ(module->instruments[32766].samples[15], &emptySample);
        EXPECT_EQ(furthestMemoryRead(), SongHeaderEnd + 9 + 29);
    }
    {
        Header h;
        h.storedPatterns = 1;
        h.instruments = 3;
        Bytes b = songHeader(h);
        patternHeader(b, 1, 0);
        for (int i = 0; i < 3; ++i) {
            instrument(b, 0, 1, 8);
        }
        XmLoadReport report;
        ModulePtr module = loadModuleFromBytes(b.data, &report);
        ASSERT_NE(module, nullptr);
        for (int i = 0; i < 3; ++i) {
            EXPECT_LE(module->instruments[i].sampleCount, 1);
        }
        EXPECT_LE(furthestMemoryRead(), b.data.size());
    }
}

} // namespace
} // namespace korvanthe
