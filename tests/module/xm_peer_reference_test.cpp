// The XM variants checked against independent players, where their Debian
// libraries are installed (libxmp-dev, libopenmpt-dev; tests/module/CMakeLists.txt
// looks for them): the same decoded sample data as libxmp, and the same rows
// at the same times, within one block, as libxmp and libopenmpt. Skips
// without them.
//
// Where the players do not agree, this checks the one we follow: 1.02 files
// with ADPCM samples (libxmp reads the packed bytes raw there) and stereo
// samples (libopenmpt plays both channels; libxmp, like us, one mono sample).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "audio/output_settings.h"
#include "module/xm_loader.h"
#include "tests/module/xm_variant_songs.h"
#include "tests/support/memory_file.h"
#include "tests/support/row_timeline.h"
#include "tools/xm_writer/xm_writer.h"

#if KORVANTHE_PEER_XMP
#include <xmp.h>
#endif
#if KORVANTHE_PEER_OPENMPT
#include <libopenmpt/libopenmpt.hpp>
#endif

namespace korvanthe {
namespace {

#if KORVANTHE_PEER_XMP || KORVANTHE_PEER_OPENMPT
using testing::loadModuleFromBytes;
using testing::ModulePtr;
using testing::RowStart;
using testing::SongEnd;

constexpr int32_t Rate = 44100;
constexpr int64_t LongestSongFrames = int64_t{Rate} * 10 * 60;

struct VariantFile {
    const char* what;
    std::vector<uint8_t> bytes;
    bool sampleDataAsLibxmp; // false where libxmp reads the file otherwise
};

std::vector<VariantFile> variantFiles() {
    return {
        {"1.02", writeXm(testing::variantSong(0x0102)), true},
        {"1.03", writeXm(testing::variantSong(0x0103)), true},
        {"17 samples", writeXm(testing::manySampleSong(17)), true},
        {"32 samples", writeXm(testing::manySampleSong(32)), true},
        {"ADPCM", writeXm(testing::adpcmSong()), true},
        {"ADPCM in 1.02", writeXm(testing::adpcmSong(0x0102)), false},
        {"stereo", writeXm(testing::stereoSong()), true},
    };
}

// Our rows to the song's end, the way `korvanthe-xm render --positions` sees them.
std::vector<RowStart> ourTimeline(Module* module, int32_t& blockFrames) {
    const std::optional<SongEnd> end = testing::renderToSongEnd(module, Rate, LongestSongFrames);
    EXPECT_TRUE(end.has_value());
    blockFrames = outputSettings.blockFrames;

    std::vector<RowStart> rows;
    EXPECT_TRUE(testing::recordRowStarts(module, Rate, end ? end->frame : 0, rows));
    return rows;
}

void expectSameRows(const char* what, const char* peer, const std::vector<RowStart>& ours,
                    const std::vector<RowStart>& theirs, int64_t tolerance) {
    ASSERT_EQ(ours.size(), theirs.size()) << what << " against " << peer;
    for (size_t i = 0; i < ours.size(); ++i) {
        ASSERT_EQ(ours[i].order, theirs[i].order) << what << " against " << peer << ", row " << i;
        ASSERT_EQ(ours[i].row, theirs[i].row) << what << " against " << peer << ", row " << i;
        ASSERT_LE(std::abs(ours[i].frame - theirs[i].frame), tolerance)
            << what << " against " << peer << ": order " << ours[i].order << " row " << ours[i].row;
    }
}

#endif

#if KORVANTHE_PEER_XMP
struct XmpContext {
    xmp_context context = xmp_create_context();
    ~XmpContext() {
        xmp_end_player(context);
        xmp_release_module(context);
        xmp_free_context(context);
    }
};

bool loadXmp(XmpContext& xmp, std::vector<uint8_t>& bytes) {
    return xmp_load_module_from_memory(xmp.context, bytes.data(),
                                       static_cast<long>(bytes.size())) == 0;
}

std::vector<RowStart> xmpTimeline(XmpContext& xmp) {
    std::vector<RowStart> rows;
    if (xmp_start_player(xmp.context, Rate, 0) != 0) {
        return rows;
    }
    int64_t frames = 0;
    xmp_frame_info info{};
    while (frames < LongestSongFrames && xmp_play_frame(xmp.context) == 0) {
        xmp_get_frame_info(xmp.context, &info);
        if (info.loop_count > 0) {
            break;
        }
        if (info.frame == 0) {
            rows.push_back({info.pos, info.row, frames});
        }
        frames += info.buffer_size / 4;
    }
    return rows;
}

// Our frame k of a sample against libxmp's, scaled as we store 8-bit data.
int32_t xmpFrame(const xmp_sample& sample, uint32_t k) {
    if (sample.flg & XMP_SAMPLE_16BIT) {
        int16_t value = 0;
        std::memcpy(&value, sample.data + 2 * k, 2);
        return value;
    }
    return static_cast<int8_t>(sample.data[k]) * 256;
}

TEST(XmPeerReference, SampleDataAsLibxmpDecodesIt) {
    for (VariantFile& file : variantFiles()) {
        if (!file.sampleDataAsLibxmp) {
            continue;
        }
        XmpContext xmp;
        ASSERT_TRUE(loadXmp(xmp, file.bytes)) << file.what;
        ModulePtr module = loadModuleFromBytes(file.bytes);
        ASSERT_NE(module, nullptr) << file.what;
        xmp_module_info info{};
        xmp_get_module_info(xmp.context, &info);
        ASSERT_EQ(info.mod->ins, module->instrumentCount) << file.what;
        for (int i = 0; i < module->instrumentCount; ++i) {
            const xmp_instrument& theirs = info.mod->xxi[i];
            const Instrument& ours = module->instruments[i];
            ASSERT_EQ(theirs.nsm, ours.sampleCount) << file.what << " instrument " << i;
            for (int j = 0; j < ours.sampleCount; ++j) {
                const xmp_sample& expected = info.mod->xxs[theirs.sub[j].sid];
                const Sample& sample = *ours.samples[j];
                ASSERT_EQ(static_cast<uint32_t>(expected.len), sample.length)
                    << file.what << " instrument " << i << " sample " << j;
                // The frames that play: up to the loop's end, where both
                // players put frames of their own for the interpolation.
                const uint32_t guard = sample.loopStart + sample.loopLength;
                for (uint32_t k = 0; k < guard; ++k) {
                    ASSERT_EQ(sample.data[k], xmpFrame(expected, k))
                        << file.what << " instrument " << i << " sample " << j << " frame " << k;
                }
                if (sample.loopType != LoopNone) {
                    EXPECT_EQ(static_cast<uint32_t>(expected.lps), sample.loopStart) << file.what;
                    EXPECT_EQ(static_cast<uint32_t>(expected.lpe), guard) << file.what;
                }
            }
        }
    }
}

TEST(XmPeerReference, RowsAsLibxmpPlaysThem) {
    for (VariantFile& file : variantFiles()) {
        XmpContext xmp;
        ASSERT_TRUE(loadXmp(xmp, file.bytes)) << file.what;
        ModulePtr module = loadModuleFromBytes(file.bytes);
        ASSERT_NE(module, nullptr) << file.what;
        int32_t blockFrames = 0;
        const std::vector<RowStart> ours = ourTimeline(module.get(), blockFrames);
        ASSERT_GT(ours.size(), 60u) << file.what;
        expectSameRows(file.what, "libxmp", ours, xmpTimeline(xmp), blockFrames);
    }
}

// An instrument header cut short (tests/module/xm_short_instrument_header_test.cpp):
// libxmp finds the same samples behind it, and leaves the fields it does not
// hold empty as we do: no envelope, no fadeout, no vibrato.
TEST(XmPeerReference, ShortInstrumentHeadersAsLibxmpReadsThem) {
    for (const uint32_t headerSize : {33u, 129u, 225u, 241u, 263u}) {
        std::vector<uint8_t> bytes = writeXm(testing::shortHeaderSong(headerSize));
        XmpContext xmp;
        ASSERT_TRUE(loadXmp(xmp, bytes)) << headerSize;
        ModulePtr module = loadModuleFromBytes(bytes);
        ASSERT_NE(module, nullptr) << headerSize;
        xmp_module_info info{};
        xmp_get_module_info(xmp.context, &info);
        const xmp_instrument& theirs = info.mod->xxi[0];
        const Instrument& ours = module->instruments[0];
        ASSERT_EQ(theirs.nsm, ours.sampleCount) << headerSize;
        for (int j = 0; j < ours.sampleCount; ++j) {
            EXPECT_EQ(static_cast<uint32_t>(info.mod->xxs[theirs.sub[j].sid].len),
                      ours.samples[j]->length)
                << headerSize << " sample " << j;
            EXPECT_EQ(theirs.sub[j].vde != 0, ours.vibratoDepth != 0) << headerSize;
        }
        EXPECT_EQ((theirs.aei.flg & XMP_ENVELOPE_ON) != 0, ours.volumeEnvelopeFlags != 0)
            << headerSize;
        EXPECT_EQ((theirs.pei.flg & XMP_ENVELOPE_ON) != 0, ours.panningEnvelopeFlags != 0)
            << headerSize;
        EXPECT_EQ(theirs.rls != 0, ours.fadeout != 0) << headerSize;
    }
}

// libxmp refuses what we refuse: more than 32 samples, versions below 1.02.
TEST(XmPeerReference, LibxmpRefusesWhatWeRefuse) {
    XmSong tooMany = testing::manySampleSong(32);
    tooMany.instruments[0].storedSampleCount = 33;
    for (const XmSong& song : {tooMany, testing::variantSong(0x0101)}) {
        std::vector<uint8_t> bytes = writeXm(song);
        XmpContext xmp;
        EXPECT_FALSE(loadXmp(xmp, bytes));
        EXPECT_EQ(loadModuleFromBytes(bytes), nullptr);
    }
}
#else
TEST(XmPeerReference, LibxmpNotInstalled) {
    GTEST_SKIP() << "libxmp-dev was not found when this was built";
}
#endif

#if KORVANTHE_PEER_OPENMPT
// libopenmpt tells the position only between reads: rows are noted after
// each read of `Chunk` frames, so its start frames lie up to a chunk late.
std::vector<RowStart> openmptTimeline(const std::vector<uint8_t>& bytes) {
    constexpr int Chunk = 32;
    openmpt::module song(bytes);
    song.set_repeat_count(0);
    std::vector<RowStart> rows{{0, 0, 0}};
    std::vector<float> mono(Chunk);
    int64_t frames = 0;
    while (frames < LongestSongFrames) {
        const size_t got = song.read(Rate, Chunk, mono.data());
        if (got < static_cast<size_t>(Chunk)) {
            break;
        }
        frames += static_cast<int64_t>(got);
        const RowStart now{song.get_current_order(), song.get_current_row(), frames - Chunk / 2};
        // The songs never jump back: an earlier order is where the song would
        // go on after its end, which the last read can already name.
        if (now.order < rows.back().order) {
            break;
        }
        if (now.order != rows.back().order || now.row != rows.back().row) {
            rows.push_back(now);
        }
    }
    return rows;
}

// An instrument header cut short: libopenmpt finds the same sample headers
// behind it (their names), and the instrument after it.
TEST(XmPeerReference, ShortInstrumentHeadersAsLibopenmptReadsThem) {
    for (const uint32_t headerSize : {33u, 129u, 225u, 241u, 263u}) {
        const std::vector<uint8_t> bytes = writeXm(testing::shortHeaderSong(headerSize));
        openmpt::module song(bytes);
        const std::vector<std::string> names = song.get_sample_names();
        ASSERT_EQ(names.size(), 3u) << headerSize;
        EXPECT_EQ(names[0], "first sample") << headerSize;
        EXPECT_EQ(names[1], "second sample") << headerSize;
        EXPECT_EQ(song.get_num_instruments(), 2) << headerSize;
    }
}

TEST(XmPeerReference, RowsAsLibopenmptPlaysThem) {
    for (VariantFile& file : variantFiles()) {
        ModulePtr module = loadModuleFromBytes(file.bytes);
        ASSERT_NE(module, nullptr) << file.what;
        int32_t blockFrames = 0;
        const std::vector<RowStart> ours = ourTimeline(module.get(), blockFrames);
        expectSameRows(file.what, "libopenmpt", ours, openmptTimeline(file.bytes), blockFrames);
    }
}
#else
TEST(XmPeerReference, LibopenmptNotInstalled) {
    GTEST_SKIP() << "libopenmpt-dev was not found when this was built";
}
#endif

} // namespace
} // namespace korvanthe
