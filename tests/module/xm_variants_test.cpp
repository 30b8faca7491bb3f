// The XM variants beyond the classic layout: format versions 1.02 and 1.03,
// instruments of up to 32 samples, ADPCM-packed samples and stereo samples,
// on files the XM writer makes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "module/sample_data.h"
#include "module/xm_loader.h"
#include "replayer/channel.h"
#include "replayer/row_processing.h"
#include "tests/module/xm_variant_songs.h"
#include "tests/support/memory_file.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe {
namespace {

using testing::loadModuleFromBytes;
using testing::ModulePtr;

ModulePtr load(const XmSong& song, XmLoadReport* report = nullptr) {
    return loadModuleFromBytes(writeXm(song), report);
}

std::vector<int16_t> loadedFrames(const Sample& sample) {
    return std::vector<int16_t>(sample.data, sample.data + sample.length + SampleGuardFrames);
}

// Everything the player reads of a loaded song, as bytes: equal bytes, equal song.
std::vector<uint8_t> songBytes(const Module& module) {
    std::vector<uint8_t> bytes;
    auto add = [&bytes](const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
    };
    add(&module.songLength, sizeof module.songLength);
    add(&module.channelCount, sizeof module.channelCount);
    add(&module.patternSlotCount, sizeof module.patternSlotCount);
    add(module.orderTable, sizeof module.orderTable);
    for (int p = 0; p < module.patternSlotCount; ++p) {
        const Pattern& pattern = module.patterns[p];
        add(&pattern.rowCount, sizeof pattern.rowCount);
        add(pattern.cells, sizeof(PatternCell) * static_cast<size_t>(pattern.rowCount) *
                               static_cast<size_t>(module.channelCount));
    }
    for (int i = 0; i < module.instrumentCount; ++i) {
        const Instrument& instrument = module.instruments[i];
        add(&instrument.sampleCount, sizeof instrument.sampleCount);
        add(instrument.keymap, sizeof instrument.keymap);
        for (int j = 0; j < instrument.sampleCount; ++j) {
            const Sample& sample = *instrument.samples[j];
            add(&sample.length, sizeof sample.length);
            add(&sample.loopStart, sizeof sample.loopStart);
            add(&sample.loopLength, sizeof sample.loopLength);
            add(&sample.loopType, sizeof sample.loopType);
            add(sample.data, sizeof(int16_t) * (sample.length + SampleGuardFrames));
        }
    }
    return bytes;
}

// Each 8-bit frame scaled as the loader stores it.
std::vector<int16_t> scaled8(const std::vector<int16_t>& frames) {
    std::vector<int16_t> scaled;
    for (int16_t frame : frames) {
        scaled.push_back(static_cast<int16_t>(static_cast<int8_t>(frame) * 256));
    }
    return scaled;
}

TEST(XmVariants, Versions102And103LoadAsTheSameSongAs104) {
    XmLoadReport report;
    ModulePtr reference = load(testing::variantSong(0x0104), &report);
    ASSERT_NE(reference, nullptr);
    EXPECT_EQ(report.layout, XmLayout::Version104);
    const std::vector<uint8_t> expected = songBytes(*reference);
    EXPECT_EQ(reference->patterns[1].rowCount, 256);

    const struct {
        uint16_t version;
        XmLayout layout;
    } cases[] = {{0x0102, XmLayout::Version102},
                 {0x0103, XmLayout::Version103},
                 {0x0105, XmLayout::Version104}};
    for (const auto& c : cases) {
        const std::vector<uint8_t> file = writeXm(testing::variantSong(c.version));
        ModulePtr module = loadModuleFromBytes(file, &report);
        ASSERT_NE(module, nullptr) << std::hex << c.version;
        EXPECT_EQ(report.layout, c.layout) << std::hex << c.version;
        EXPECT_FALSE(report.truncated) << std::hex << c.version;
        EXPECT_EQ(songBytes(*module), expected) << std::hex << c.version;
        // Nothing is left over: the layout's sizes add up to the file's.
        EXPECT_EQ(testing::furthestMemoryRead(), file.size()) << std::hex << c.version;
    }
}

TEST(XmVariants, OlderVersionsAreRefusedWithTheReason) {
    for (uint16_t version : {0x0000, 0x0100, 0x0101}) {
        XmLoadReport report;
        EXPECT_EQ(load(testing::variantSong(version), &report), nullptr) << version;
        EXPECT_EQ(report.error, LoadError::OldVersion) << version;
        EXPECT_EQ(report.layout, XmLayout::Unknown) << version;
    }
    EXPECT_STREQ(loadErrorText(LoadError::OldVersion),
                 "format version older than 1.02, whose layout is not known");
}

// A 1.02 file cut inside its sample data keeps what it holds, like a 1.04 file.
TEST(XmVariants, ATruncated102FileKeepsTheSampleDataItHolds) {
    std::vector<uint8_t> file = writeXm(testing::variantSong(0x0102));
    const size_t wideBytes = 120 * 2;
    file.resize(file.size() - wideBytes + 10); // five frames of the 16-bit sample remain
    XmLoadReport report;
    ModulePtr module = loadModuleFromBytes(file, &report);
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(report.truncated);
    EXPECT_EQ(module->instruments[0].samples[1]->length, 50u);
    const Sample& wide = *module->instruments[1].samples[0];
    EXPECT_EQ(wide.length, 5u);
    EXPECT_EQ(wide.loopType, LoopNone); // the loop began past the frames kept
}

Sample* selectedSample(const Module& module, int note) {
    Channel channel{};
    channel.instrumentIndex = 0;
    channel.noteIndex = static_cast<uint8_t>(note);
    return selectInstrumentAndSample(&module, &channel).sample;
}

TEST(XmVariants, InstrumentsOf17And32SamplesLoadEverySample) {
    for (int count : {17, 32}) {
        XmLoadReport report;
        const XmSong song = testing::manySampleSong(count);
        ModulePtr module = load(song, &report);
        ASSERT_NE(module, nullptr) << count;
        EXPECT_EQ(report.mostSamplesInInstrument, count);
        EXPECT_EQ(xmExtensionsText(report),
                  "instruments with up to " + std::to_string(count) + " samples");
        const Instrument& instrument = module->instruments[0];
        ASSERT_EQ(instrument.sampleCount, count);
        for (int j = 0; j < count; ++j) {
            const std::vector<int16_t>& frames = song.instruments[0].samples[j].frames;
            std::vector<int16_t> expected = scaled8(frames);
            expected.resize(frames.size() + SampleGuardFrames, 0);
            EXPECT_EQ(loadedFrames(*instrument.samples[j]), expected) << count << " " << j;
        }
        for (int j = count; j < MaxSamplesPerInstrument; ++j) {
            EXPECT_EQ(instrument.samples[j], &emptySample) << count << " " << j;
        }
        // The keymap reaches every sample; entries naming one the instrument
        // does not have play none.
        for (int note = 0; note < 90; ++note) {
            EXPECT_EQ(selectedSample(*module, note), instrument.samples[note % count]) << note;
        }
        EXPECT_EQ(selectedSample(*module, 90), count == 32 ? instrument.samples[31] : &emptySample);
        EXPECT_EQ(selectedSample(*module, 91), &emptySample);
        // The second instrument is found right after the first one's data.
        EXPECT_EQ(module->instruments[1].samples[0]->length, 120u) << count;
    }
}

// Limits: 33 samples, or more than 16 with sample headers above 256 bytes, are
// refused (XmLoader.RefusesWhatThePlayerCannotPlay); up to 16 samples load
// whatever the sample header size says, as they always have.
TEST(XmVariants, SampleHeaderSizeLimitAppliesOnlyBeyond16Samples) {
    XmSong many = testing::manySampleSong(20);
    many.instruments[0].storedSampleHeaderSize = 256;
    EXPECT_NE(load(many), nullptr);
    XmSong classic = testing::manySampleSong(16);
    classic.instruments[0].storedSampleHeaderSize = 1000;
    EXPECT_NE(load(classic), nullptr);
}

// The decoding rule, independently of the loader: each code adds its table
// entry to an 8-bit running value, from 0; the low nibble comes first.
std::vector<int16_t> decodeByHand(const std::vector<uint8_t>& stored, size_t frames) {
    std::vector<int16_t> out;
    uint8_t value = 0;
    for (size_t i = 0; i < frames; ++i) {
        const uint8_t byte = stored[16 + i / 2];
        const uint8_t code = i % 2 == 0 ? byte & 15 : byte >> 4;
        value = static_cast<uint8_t>(value + stored[code]);
        out.push_back(static_cast<int16_t>(static_cast<int8_t>(value) * 256));
    }
    return out;
}

TEST(XmVariants, AdpcmSamplesDecodeToTheFramesTheyPack) {
    const std::vector<int16_t> exact = testing::adpcmExactFrames(7);
    const std::vector<uint8_t> stored = adpcmEncode(exact, XmSample{}.adpcmTable);
    ASSERT_EQ(stored.size(), 16u + 4u); // table, then (7 + 1) / 2 bytes of codes
    std::vector<int16_t> decoded(7);
    decodeAdpcmFrames(stored.data(), 7, decoded.data());
    EXPECT_EQ(decoded, scaled8(exact));

    for (uint16_t version : {0x0104, 0x0102}) {
        const XmSong song = testing::adpcmSong(version);
        XmLoadReport report;
        ModulePtr module = load(song, &report);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(report.packedSamples, 3);
        EXPECT_EQ(report.storedSampleBits[0][0], 8);
        EXPECT_EQ(xmExtensionsText(report), "ADPCM-packed samples (3)");
        EXPECT_FALSE(report.truncated);
        const Instrument& instrument = module->instruments[0];
        const std::vector<XmSample>& written = song.instruments[0].samples;
        const Sample& odd = *instrument.samples[0];
        EXPECT_EQ(odd.length, 77u);
        EXPECT_EQ(odd.loopStart, 10u);
        EXPECT_EQ(odd.loopLength, 60u);
        // Up to the loop's end; the frame there is the guard, a copy of the loop start.
        std::vector<int16_t> frames = loadedFrames(odd);
        std::vector<int16_t> expected = scaled8(written[0].frames);
        EXPECT_EQ(std::vector<int16_t>(frames.begin(), frames.begin() + 70),
                  std::vector<int16_t>(expected.begin(), expected.begin() + 70));
        EXPECT_EQ(frames[70], frames[10]);
        EXPECT_EQ(
            std::vector<int16_t>(instrument.samples[1]->data, instrument.samples[1]->data + 32),
            scaled8(written[1].frames));
        const std::vector<uint8_t> packedSine =
            adpcmEncode(written[2].frames, written[2].adpcmTable);
        EXPECT_EQ(
            std::vector<int16_t>(instrument.samples[2]->data, instrument.samples[2]->data + 96),
            decodeByHand(packedSine, 96));
        // The raw sample after the packed ones starts where their data ends.
        EXPECT_EQ(
            std::vector<int16_t>(instrument.samples[3]->data, instrument.samples[3]->data + 30),
            scaled8(written[3].frames));
    }
}

TEST(XmVariants, TheMarkerOnA16BitSampleMeansNothing) {
    XmSong song = testing::variantSong();
    song.instruments[1].samples[0].storedReserved = 0xAD;
    XmLoadReport report;
    ModulePtr marked = load(song, &report);
    ModulePtr plain = load(testing::variantSong());
    ASSERT_NE(marked, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(report.packedSamples, 0);
    EXPECT_EQ(songBytes(*marked), songBytes(*plain));
}

// A file that ends inside packed data keeps what it holds, as raw samples do:
// nothing without the whole table, else two frames per byte after it.
TEST(XmVariants, AShortFileKeepsThePackedFramesItHolds) {
    XmSong song = testing::variantSong();
    XmSample packed = testing::sample8(testing::adpcmExactFrames(40));
    packed.adpcm = true;
    packed.loop = XmLoop::Forward;
    packed.loopStart = 4;
    packed.loopLength = 30;
    song.instruments = {XmInstrument::withSample(packed)};
    const std::vector<uint8_t> whole = writeXm(song);
    const size_t dataStart = whole.size() - (16 + 20);
    const struct {
        size_t bytesKept;
        uint32_t length;
        uint8_t loopType;
        uint32_t loopLength;
    } cases[] = {{0, 0, LoopNone, 0},      {15, 0, LoopNone, 0},      {16, 0, LoopNone, 0},
                 {17, 2, LoopNone, 2},     {27, 22, LoopForward, 18}, {35, 38, LoopForward, 30},
                 {36, 40, LoopForward, 30}};
    for (const auto& c : cases) {
        std::vector<uint8_t> file(whole.begin(),
                                  whole.begin() + static_cast<long>(dataStart + c.bytesKept));
        XmLoadReport report;
        ModulePtr module = loadModuleFromBytes(file, &report);
        ASSERT_NE(module, nullptr) << c.bytesKept;
        EXPECT_EQ(report.truncated, c.bytesKept < 36) << c.bytesKept;
        const Sample& sample = *module->instruments[0].samples[0];
        EXPECT_EQ(sample.length, c.length) << c.bytesKept;
        EXPECT_EQ(sample.loopType, c.loopType) << c.bytesKept;
        EXPECT_EQ(sample.loopLength, c.loopLength) << c.bytesKept;
        if (c.length > 0) {
            // Up to the loop's end, where the guard frame lies.
            const uint32_t end = sample.loopStart + sample.loopLength;
            std::vector<int16_t> expected = scaled8(packed.frames);
            expected.resize(end);
            EXPECT_EQ(std::vector<int16_t>(sample.data, sample.data + end), expected)
                << c.bytesKept;
        } else {
            EXPECT_EQ(sample.data, nullptr) << c.bytesKept;
        }
    }
}

// A stereo sample stays what it has always been here: one mono sample of both
// channels' frames, the right after the left, its data decoded as one run.
// Reading it differently would change songs that play today; the report names it.
TEST(XmVariants, StereoSamplesStayOneMonoSampleAndAreNamed) {
    const XmSong song = testing::stereoSong();
    XmLoadReport report;
    ModulePtr module = load(song, &report);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(report.stereoSamples, 1);
    EXPECT_EQ(xmExtensionsText(report),
              "stereo samples played as one mono sample, left then right (1)");
    const XmSample& written = song.instruments[0].samples[0];
    const Sample& loaded = *module->instruments[0].samples[0];
    EXPECT_EQ(loaded.length, 128u);
    EXPECT_EQ(loaded.loopStart, 32u);
    EXPECT_EQ(loaded.loopLength, 64u);
    std::vector<uint8_t> stored = deltaEncode(written.frames, 8);
    std::vector<uint8_t> right = deltaEncode(written.rightFrames, 8);
    stored.insert(stored.end(), right.begin(), right.end());
    std::vector<int16_t> expected(128);
    decodeDeltaFrames(stored.data(), 8, 128, expected.data());
    expected[96] = expected[32]; // the guard frame after the loop
    EXPECT_EQ(std::vector<int16_t>(loaded.data, loaded.data + 128), expected);
}

TEST(XmVariants, AClassicFileHasNoExtensions) {
    XmLoadReport report;
    ASSERT_NE(load(testing::variantSong(), &report), nullptr);
    EXPECT_EQ(xmExtensionsText(report), "none");
    EXPECT_EQ(report.mostSamplesInInstrument, 2);
    EXPECT_STREQ(xmLayoutText(report.layout),
                 "1.04: patterns, then instruments with their sample data");
}

} // namespace
} // namespace korvanthe
