// Loads through the C interface: every refusal of the loader comes back as
// its code with the text `korvanthe-xm info` prints, the same from memory
// as from the disk, and one song at a time.
#include "tests/support/xm_songs.h"
#include "tests/xm_api/xm_api_support.h"
#include "tools/xm_writer/xm_writer.h"

namespace korvanthe::xmapitest {
namespace {

using testing::smallSong;

struct BadSong {
    const char* what;
    std::vector<uint8_t> bytes;
    int error;
};

std::vector<BadSong> badSongs() {
    std::vector<BadSong> songs;
    const auto add = [&](const char* what, void (*change)(XmSong&), int error) {
        XmSong song = smallSong();
        change(song);
        songs.push_back({what, writeXm(song), error});
    };
    songs.push_back({"not XM", {'M', 'T', 'h', 'd', 0, 0, 0, 6}, KORVANTHE_XM_ERROR_NOT_XM});
    songs.push_back({"empty", {}, KORVANTHE_XM_ERROR_NOT_XM});
    add("wrong ID", [](XmSong& s) { s.storedId = "Extended Module:X"; }, KORVANTHE_XM_ERROR_NOT_XM);
    add("no channels", [](XmSong& s) { s.channelCount = 0; }, KORVANTHE_XM_ERROR_NO_CHANNELS);
    add("33 channels", [](XmSong& s) { s.channelCount = 33; },
        KORVANTHE_XM_ERROR_TOO_MANY_CHANNELS);
    add("song length 0", [](XmSong& s) { s.storedSongLength = 0; },
        KORVANTHE_XM_ERROR_BAD_SONG_LENGTH);
    add("song length 257", [](XmSong& s) { s.storedSongLength = 257; },
        KORVANTHE_XM_ERROR_BAD_SONG_LENGTH);
    add("40000 instruments", [](XmSong& s) { s.storedInstrumentCount = 40000; },
        KORVANTHE_XM_ERROR_BAD_INSTRUMENT_COUNT);
    add("patterns of 33 x 65535 x 32 cells", testing::makePatternsTooLarge,
        KORVANTHE_XM_ERROR_PATTERNS_TOO_LARGE);
    add("33 samples", testing::makeTooManySamples, KORVANTHE_XM_ERROR_TOO_MANY_SAMPLES);
    add("17 samples with 257-byte sample headers", testing::makeLargeSampleHeaders,
        KORVANTHE_XM_ERROR_LARGE_SAMPLE_HEADERS);
    add("format version 1.01", [](XmSong& s) { s.version = 0x0101; },
        KORVANTHE_XM_ERROR_OLD_VERSION);
    return songs;
}

// The tool's one line for path: "korvanthe-xm: PATH: REASON".
std::string toolReason(const fs::path& dir, const fs::path& path) {
    const ToolRun run = runTool(dir, "info '" + path.string() + "'");
    if (run.exitCode == 0) {
        return "";
    }
    const std::string prefix = "korvanthe-xm: " + path.string() + ": ";
    EXPECT_EQ(run.err.rfind(prefix, 0), 0u) << run.err;
    std::string reason = run.err.substr(std::min(prefix.size(), run.err.size()));
    while (!reason.empty() && reason.back() == '\n') {
        reason.pop_back();
    }
    return reason;
}

// Loads path from the disk and its bytes from memory: both give the same
// code (and the text the tool prints); a song that loads loads from both
// with the same facts.
void expectSameLoad(const fs::path& dir, const fs::path& path, int expected) {
    SCOPED_TRACE(path.filename().string());
    int fromDisk = -1;
    korvanthe_xm_song* song = korvanthe_xm_load_file(path.c_str(), &fromDisk);
    korvanthe_xm_info diskInfo{};
    korvanthe_xm_get_info(song, &diskInfo);
    korvanthe_xm_free(song);
    const std::vector<uint8_t> bytes = readBytes(path);
    int fromMemory = -1;
    song = korvanthe_xm_load_memory(bytes.data(), bytes.size(), &fromMemory);
    korvanthe_xm_info memoryInfo{};
    korvanthe_xm_get_info(song, &memoryInfo);
    korvanthe_xm_free(song);
    if (expected >= 0) {
        EXPECT_EQ(fromDisk, expected);
    }
    EXPECT_EQ(fromMemory, fromDisk);
    EXPECT_EQ(memoryInfo.channels, diskInfo.channels);
    EXPECT_EQ(memoryInfo.orders, diskInfo.orders);
    EXPECT_EQ(memoryInfo.instruments, diskInfo.instruments);
    const std::string reason = toolReason(dir, path);
    EXPECT_EQ(fromDisk == KORVANTHE_XM_OK ? "" : korvanthe_xm_error_text(fromDisk), reason);
}

TEST(XmApiLoad, EveryRefusalComesBackAsItsCodeAndText) {
    const fs::path dir = scratchDir("refusals");
    for (const BadSong& bad : badSongs()) {
        const fs::path path = dir / (std::string(bad.what) + ".xm");
        writeBytes(path, bad.bytes);
        expectSameLoad(dir, path, bad.error);
    }
    // What the path itself says, before any byte is read.
    EXPECT_EQ(toolReason(dir, dir / "missing.xm"), "no such file");
    int error = -1;
    EXPECT_EQ(korvanthe_xm_load_file((dir / "missing.xm").c_str(), &error), nullptr);
    EXPECT_EQ(error, KORVANTHE_XM_ERROR_NO_SUCH_FILE);
    EXPECT_STREQ(korvanthe_xm_error_text(error), "no such file");
    EXPECT_EQ(korvanthe_xm_load_file(dir.c_str(), &error), nullptr);
    EXPECT_EQ(error, KORVANTHE_XM_ERROR_IS_DIRECTORY);
    EXPECT_EQ(toolReason(dir, dir), korvanthe_xm_error_text(error));
    fs::remove_all(dir);
}

TEST(XmApiLoad, HostileFilesFromMemoryAsFromTheDisk) {
    const std::vector<fs::path> files = corpusFiles("malformed");
    if (files.empty()) {
        GTEST_SKIP() << "no malformed corpus in " << corpusDir("malformed");
    }
    const fs::path dir = scratchDir("hostile");
    for (const fs::path& file : files) {
        expectSameLoad(dir, file, -1);
    }
    // Cut short anywhere in its header and first pattern, a song is refused
    // or loaded alike from both.
    const std::vector<uint8_t> whole = readBytes(files.front());
    for (size_t size : {size_t{16}, size_t{17}, size_t{60}, size_t{64}, size_t{80}, size_t{336},
                        size_t{345}, whole.size() / 2}) {
        const fs::path cut = dir / ("cut-" + std::to_string(size) + ".xm");
        writeBytes(cut, {whole.begin(), whole.begin() + std::min(size, whole.size())});
        expectSameLoad(dir, cut, -1);
    }
    fs::remove_all(dir);
}

TEST(XmApiLoad, BadArgumentsAreRefusedAndHarmless) {
    int error = -1;
    EXPECT_EQ(korvanthe_xm_load_file(nullptr, &error), nullptr);
    EXPECT_EQ(error, KORVANTHE_XM_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(korvanthe_xm_load_memory(nullptr, 10, &error), nullptr);
    EXPECT_EQ(error, KORVANTHE_XM_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(korvanthe_xm_load_memory("x", size_t{1} << 31, &error), nullptr);
    EXPECT_EQ(error, KORVANTHE_XM_ERROR_BAD_ARGUMENT);
    korvanthe_xm_info info{};
    EXPECT_EQ(korvanthe_xm_get_info(nullptr, &info), KORVANTHE_XM_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(korvanthe_xm_duration_frames(nullptr, 44100, nullptr), -1);
    EXPECT_EQ(korvanthe_xm_render_start(nullptr, 44100, nullptr, 0), KORVANTHE_XM_ERROR_BAD_ARGUMENT);
    korvanthe_xm_free(nullptr);

    const std::vector<uint8_t> bytes = writeXm(smallSong());
    korvanthe_xm_song* song = korvanthe_xm_load_memory(bytes.data(), bytes.size(), &error);
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(korvanthe_xm_render_start(song, 7999, nullptr, 0), KORVANTHE_XM_ERROR_BAD_ARGUMENT);
    EXPECT_EQ(korvanthe_xm_render(song, nullptr, 10, nullptr, 0, nullptr), -1); // not started
    EXPECT_EQ(korvanthe_xm_set_channels(song, 0x4, 0), KORVANTHE_XM_ERROR_BAD_ARGUMENT); // 2 channels
    const korvanthe_xm_place badRow{KORVANTHE_XM_PLACE_ORDER_ROW, 0, 300, 0};
    EXPECT_EQ(korvanthe_xm_render_start(song, 44100, &badRow, 0), KORVANTHE_XM_ERROR_BAD_ARGUMENT);
    const korvanthe_xm_place pastOrders{KORVANTHE_XM_PLACE_ORDER_ROW, 5, 0, 0};
    EXPECT_EQ(korvanthe_xm_render_start(song, 44100, &pastOrders, 0),
              KORVANTHE_XM_ERROR_ORDER_PAST_SONG);
    const korvanthe_xm_place pastRows{KORVANTHE_XM_PLACE_ORDER_ROW, 0, 4, 0};
    EXPECT_EQ(korvanthe_xm_render_start(song, 44100, &pastRows, 0),
              KORVANTHE_XM_ERROR_ROW_PAST_PATTERN);
    korvanthe_xm_free(song);
    EXPECT_EQ(korvanthe_xm_get_info(song, &info), KORVANTHE_XM_ERROR_BAD_ARGUMENT); // freed
}

// One song at a time: a second load leaves the first exactly as it was, and
// its render goes on to the very frames it would have had.
TEST(XmApiLoad, ASecondLoadIsRefusedAndTheFirstPlaysOn) {
    const std::vector<uint8_t> bytes = readBytes(soundtrackPath());
    korvanthe_xm_song* first = korvanthe_xm_load_memory(bytes.data(), bytes.size(), nullptr);
    ASSERT_NE(first, nullptr);
    const ApiRender whole = renderAll(first, 44100, 1 << 16);

    ASSERT_EQ(korvanthe_xm_render_start(first, 44100, nullptr, 0), KORVANTHE_XM_OK);
    std::vector<int16_t> pcm(whole.pcm.size());
    const int64_t half = int64_t(whole.pcm.size() / 4);
    ASSERT_EQ(korvanthe_xm_render(first, pcm.data(), half, nullptr, 0, nullptr), half);
    int error = -1;
    EXPECT_EQ(korvanthe_xm_load_file(soundtrackPath().c_str(), &error), nullptr);
    EXPECT_EQ(error, KORVANTHE_XM_ERROR_SONG_LIVE);
    const std::vector<uint8_t> other = writeXm(smallSong());
    EXPECT_EQ(korvanthe_xm_load_memory(other.data(), other.size(), &error), nullptr);
    EXPECT_EQ(error, KORVANTHE_XM_ERROR_SONG_LIVE);
    const int64_t rest = int64_t(whole.pcm.size() / 2) - half;
    EXPECT_EQ(korvanthe_xm_render(first, pcm.data() + half * 2, rest + 10, nullptr, 0, nullptr), rest);
    EXPECT_TRUE(pcm == whole.pcm);
    korvanthe_xm_free(first);

    korvanthe_xm_song* second = korvanthe_xm_load_memory(other.data(), other.size(), &error);
    EXPECT_NE(second, nullptr);
    korvanthe_xm_free(second);
}

TEST(XmApiLoad, TheVersion) {
    EXPECT_STREQ(korvanthe_xm_version(), KORVANTHE_XM_VERSION);
    EXPECT_STREQ(korvanthe_xm_version(), KORVANTHE_VERSION);
}

} // namespace
} // namespace korvanthe::xmapitest
