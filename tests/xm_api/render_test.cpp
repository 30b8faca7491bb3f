// A render through the C interface is `korvanthe-xm render`'s, to the bit:
// the frames, and the stamps as --positions logs them, in calls of any size.
#include "tests/xm_api/xm_api_support.h"

namespace korvanthe::xmapitest {
namespace {

// The tool's render and its positions log, against the interface's of the
// same song with the same options.
void expectSameRender(const fs::path& song, const std::string& options, int32_t rate,
                      uint32_t muted, uint32_t solo, const korvanthe_xm_place* from,
                      int64_t chunk) {
    SCOPED_TRACE(song.filename().string() + " " + options);
    const fs::path dir = scratchDir("render");
    const fs::path wav = dir / "tool.wav";
    const fs::path log = dir / "positions.txt";
    const ToolRun run = runTool(dir, "render '" + song.string() + "' " + options + " -o '" +
                                         wav.string() + "' --positions '" + log.string() + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;

    int error = -1;
    korvanthe_xm_song* loaded = korvanthe_xm_load_file(song.c_str(), &error);
    ASSERT_NE(loaded, nullptr) << korvanthe_xm_error_text(error);
    ASSERT_EQ(korvanthe_xm_set_channels(loaded, muted, solo), KORVANTHE_XM_OK);
    const ApiRender render = renderAll(loaded, rate, chunk, from);
    const int64_t duration = korvanthe_xm_duration_frames(loaded, rate, nullptr);
    korvanthe_xm_free(loaded);

    const std::vector<int16_t> expected = wavFrames(wav);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(render.pcm.size(), expected.size());
    EXPECT_TRUE(render.pcm == expected) << "the frames differ";

    // One stamp a block, as the log has one line a block.
    std::ifstream lines(log);
    std::vector<korvanthe_xm_stamp> logged;
    for (int32_t ms = 0, order = 0, row = 0; lines >> ms >> order >> row;) {
        logged.push_back(korvanthe_xm_stamp{0, order, row, ms});
    }
    ASSERT_EQ(render.stamps.size(), logged.size());
    for (size_t i = 0; i < logged.size(); ++i) {
        ASSERT_EQ(render.stamps[i].time_ms, logged[i].time_ms) << "block " << i;
        ASSERT_EQ(render.stamps[i].order, logged[i].order) << "block " << i;
        ASSERT_EQ(render.stamps[i].row, logged[i].row) << "block " << i;
    }
    // Song blocks count from the song's start: each ends on a whole block,
    // the last at the song's end.
    ASSERT_FALSE(render.stamps.empty());
    EXPECT_EQ(render.stamps.back().end_frame, duration);
    for (size_t i = 0; i + 1 < render.stamps.size(); ++i) {
        ASSERT_EQ(render.stamps[i].end_frame % korvanthe_xm_block_frames(rate), 0) << "block " << i;
    }
    fs::remove_all(dir);
}

TEST(XmApiRender, TheSoundtrackAsTheToolRendersIt) {
    ASSERT_TRUE(fs::exists(soundtrackPath()));
    // Calls that end inside blocks and calls of many blocks.
    expectSameRender(soundtrackPath(), "", 44100, 0, 0, nullptr, 1000);
    expectSameRender(soundtrackPath(), "", 44100, 0, 0, nullptr, 1 << 16);
}

TEST(XmApiRender, TheCorpusSongsAsTheToolRendersThem) {
    const std::vector<fs::path> songs = corpusFiles("songs");
    if (songs.empty()) {
        GTEST_SKIP() << "no corpus songs in " << corpusDir("songs");
    }
    for (const fs::path& song : songs) {
        expectSameRender(song, "", 44100, 0, 0, nullptr, 4410);
    }
}

TEST(XmApiRender, RateStartAndSilencedChannelsAsTheToolTakesThem) {
    const korvanthe_xm_place from{KORVANTHE_XM_PLACE_ORDER_ROW, 1, 16, 0};
    expectSameRender(soundtrackPath(), "--rate 22050 --start 1:16 --solo 1,3 --mute 3", 22050, 0x4,
                     0x5, &from, 777);
    const korvanthe_xm_place at{KORVANTHE_XM_PLACE_MILLISECONDS, 0, 0, 12345};
    expectSameRender(soundtrackPath(), "--rate 48000 --start 12.345s --mute 2", 48000, 0x2, 0, &at,
                     48000);
}

TEST(XmApiRender, LoadingFromMemoryGivesTheSongOfThePath) {
    const std::vector<uint8_t> bytes = readBytes(soundtrackPath());
    korvanthe_xm_song* fromPath = korvanthe_xm_load_file(soundtrackPath().c_str(), nullptr);
    ASSERT_NE(fromPath, nullptr);
    korvanthe_xm_info pathInfo{};
    ASSERT_EQ(korvanthe_xm_get_info(fromPath, &pathInfo), KORVANTHE_XM_OK);
    const ApiRender pathRender = renderAll(fromPath, 44100, 5000);
    korvanthe_xm_free(fromPath);

    int error = -1;
    korvanthe_xm_song* fromMemory = korvanthe_xm_load_memory(bytes.data(), bytes.size(), &error);
    ASSERT_NE(fromMemory, nullptr) << korvanthe_xm_error_text(error);
    EXPECT_EQ(error, KORVANTHE_XM_OK);
    korvanthe_xm_info memoryInfo{};
    ASSERT_EQ(korvanthe_xm_get_info(fromMemory, &memoryInfo), KORVANTHE_XM_OK);
    const ApiRender memoryRender = renderAll(fromMemory, 44100, 5000);
    korvanthe_xm_free(fromMemory);

    EXPECT_STREQ(memoryInfo.name, pathInfo.name);
    EXPECT_STREQ(memoryInfo.tracker_name, pathInfo.tracker_name);
    EXPECT_EQ(memoryInfo.channels, pathInfo.channels);
    EXPECT_EQ(memoryInfo.orders, pathInfo.orders);
    EXPECT_EQ(memoryInfo.patterns, pathInfo.patterns);
    EXPECT_EQ(memoryInfo.instruments, pathInfo.instruments);
    EXPECT_TRUE(memoryRender.pcm == pathRender.pcm);
    EXPECT_EQ(memoryRender.stamps.size(), pathRender.stamps.size());
}

// The facts `info` prints and the length `render` finds.
TEST(XmApiRender, TheSongsFactsAndLength) {
    korvanthe_xm_song* song = korvanthe_xm_load_file(soundtrackPath().c_str(), nullptr);
    ASSERT_NE(song, nullptr);
    korvanthe_xm_info info{};
    ASSERT_EQ(korvanthe_xm_get_info(song, &info), KORVANTHE_XM_OK);
    EXPECT_GE(info.channels, 1);
    EXPECT_GE(info.orders, 1);
    int ended = 0;
    const int64_t frames = korvanthe_xm_duration_frames(song, 44100, &ended);
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(korvanthe_xm_duration_ms(song, 44100), frames * 1000 / 44100);
    const ApiRender render = renderAll(song, 44100, 1 << 20);
    EXPECT_EQ(int64_t(render.pcm.size() / 2), frames);
    // Looping on: past the end, on as the song goes.
    ASSERT_EQ(korvanthe_xm_render_start(song, 44100, nullptr, 1), KORVANTHE_XM_OK);
    std::vector<int16_t> more(static_cast<size_t>(frames + 1000) * 2);
    EXPECT_EQ(korvanthe_xm_render(song, more.data(), frames + 1000, nullptr, 0, nullptr),
              frames + 1000);
    korvanthe_xm_free(song);
    EXPECT_EQ(korvanthe_xm_render(song, more.data(), 10, nullptr, 0, nullptr), -1);
}

} // namespace
} // namespace korvanthe::xmapitest
