// The row timeline of real songs: the order, row and start frame of every row
// played from the song's start to its end, pinned in the files under
// tests/replayer/row_timelines/. Any change of timing (speed, tempo, jumps,
// breaks, pattern loops and delays, the tick length, the song-end rule) fails
// with the first row that moved. Skips when the shared corpus is absent.
//
// The timeline is taken from the offline render (tests/support/row_timeline.h).
//
// To rewrite the expected files from the current code (only in a commit that
// says why the timing changed):
//   KORVANTHE_WRITE_ROW_TIMELINES=1 <build>/bin/replayer_row_timeline_test
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "tests/support/memory_file.h"
#include "tests/support/row_timeline.h"
#include "tests/support/test_paths.h"

namespace korvanthe::testing {
namespace {

constexpr int32_t Rate = 44100;
constexpr int64_t LongestSongFrames = int64_t{Rate} * 30 * 60;

// Corpus files whose timelines are pinned: the complete song (breaks, a
// pattern loop, a speed change at the end), and behaviour files chosen for
// what moves the position or the time.
const char* const PinnedFiles[] = {
    "songs/roadblas.xm",
    "behaviour/pattern_jump_skale_break.xm",   // Bxx and Dxx in one row
    "behaviour/pattern_jump_mpt_break.xm",     // the same, in other channel orders
    "behaviour/pattern_loop_mpt.xm",           // loops, nested and with speed changes
    "behaviour/pattern_loop_mpt_breakjump.xm", // a loop against a break and a jump
    "behaviour/set_position_mid_pattdelay.xm", // a jump inside a pattern delay
    "behaviour/reverse_xm.xm",                 // rows of one tick
    "behaviour/format_xm_pattrunc.xm",         // short patterns, a long delayed row
};

struct Timeline {
    std::vector<RowStart> rows; // every row played, in playing order
    int64_t endFrame = 0;       // frames of the whole song
    int32_t endElapsedMs = 0;   // the song's own clock at its end, as the last stamp gives it
};

// Renders the song to its end by the render's own end rule, then a second
// time noting where each row starts.
std::optional<Timeline> renderTimeline(Module* module) {
    const std::optional<SongEnd> end = renderToSongEnd(module, Rate, LongestSongFrames);
    if (!end || !end->ended) {
        return std::nullopt;
    }
    Timeline timeline;
    timeline.endFrame = end->frame;
    timeline.endElapsedMs = end->elapsedMs;
    if (!recordRowStarts(module, Rate, timeline.endFrame, timeline.rows)) {
        return std::nullopt;
    }
    return timeline;
}

// The file form: one line per run of rows that follow each other in one
// order entry and last equally long,
//   order firstRow rowCount startFrame rowFrames
// and a last line `end endFrame endElapsedMs`.
std::string formatTimeline(const std::string& name, const Timeline& timeline) {
    std::ostringstream out;
    out << "# Row timeline of " << name << " at " << Rate << " Hz, from row_timeline_test.\n"
        << "# order firstRow rowCount startFrame rowFrames (one run of equal rows a line)\n";
    const std::vector<RowStart>& rows = timeline.rows;
    size_t first = 0;
    while (first < rows.size()) {
        auto frameAfter = [&](size_t i) {
            return i + 1 < rows.size() ? rows[i + 1].frame : timeline.endFrame;
        };
        const int64_t rowFrames = frameAfter(first) - rows[first].frame;
        size_t last = first;
        while (last + 1 < rows.size() && rows[last + 1].order == rows[first].order &&
               rows[last + 1].row == rows[last].row + 1 &&
               frameAfter(last + 1) - rows[last + 1].frame == rowFrames) {
            ++last;
        }
        out << rows[first].order << ' ' << rows[first].row << ' ' << (last - first + 1) << ' '
            << rows[first].frame << ' ' << rowFrames << '\n';
        first = last + 1;
    }
    out << "end " << timeline.endFrame << ' ' << timeline.endElapsedMs << '\n';
    return out.str();
}

// Reads the file form back into one entry per row; nullopt when damaged.
std::optional<Timeline> parseTimeline(std::istream& in) {
    Timeline timeline;
    std::string line;
    bool ended = false;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        if (line.rfind("end ", 0) == 0) {
            std::string word;
            fields >> word >> timeline.endFrame >> timeline.endElapsedMs;
            ended = !fields.fail();
            continue;
        }
        int32_t order = 0;
        int32_t firstRow = 0;
        int32_t rowCount = 0;
        int64_t startFrame = 0;
        int64_t rowFrames = 0;
        fields >> order >> firstRow >> rowCount >> startFrame >> rowFrames;
        if (fields.fail() || rowCount < 1) {
            return std::nullopt;
        }
        for (int32_t i = 0; i < rowCount; ++i) {
            timeline.rows.push_back({order, firstRow + i, startFrame + i * rowFrames});
        }
    }
    return ended ? std::optional<Timeline>(timeline) : std::nullopt;
}

std::string milliseconds(int64_t frame) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(frame) * 1000.0 / Rate);
    return text;
}

std::string describe(const RowStart& row) {
    return "order " + std::to_string(row.order) + " row " + std::to_string(row.row) + " at " +
           milliseconds(row.frame) + " (frame " + std::to_string(row.frame) + ")";
}

// One failure, at the first row whose position or start differs.
void expectSameTimeline(const Timeline& expected, const Timeline& actual) {
    const size_t common = std::min(expected.rows.size(), actual.rows.size());
    for (size_t i = 0; i < common; ++i) {
        const RowStart& want = expected.rows[i];
        const RowStart& got = actual.rows[i];
        if (want.order != got.order || want.row != got.row || want.frame != got.frame) {
            ADD_FAILURE() << "row " << i << " of the timeline moved: expected " << describe(want)
                          << ", got " << describe(got);
            return;
        }
    }
    if (expected.rows.size() != actual.rows.size()) {
        const bool longer = actual.rows.size() > expected.rows.size();
        ADD_FAILURE() << "the song plays " << actual.rows.size() << " rows, expected "
                      << expected.rows.size() << "; first "
                      << (longer ? "extra row: " + describe(actual.rows[common])
                                 : "missing row: " + describe(expected.rows[common]));
        return;
    }
    EXPECT_EQ(actual.endFrame, expected.endFrame)
        << "the song ends at " << milliseconds(actual.endFrame) << ", expected "
        << milliseconds(expected.endFrame);
    // elapsedMs sums each mixed run's truncated length, so it runs behind the
    // frames; the stamps (and so the pictures) go by it.
    EXPECT_EQ(actual.endElapsedMs, expected.endElapsedMs)
        << "the song's clock (elapsedMs, which the block stamps carry) ends at "
        << actual.endElapsedMs << " ms, expected " << expected.endElapsedMs << " ms";
}

std::filesystem::path expectedFile(const std::string& name) {
    std::string stem = std::filesystem::path(name).parent_path().string() + "_" +
                       std::filesystem::path(name).stem().string();
    return std::filesystem::path(KORVANTHE_SOURCE_DIR) / "tests" / "replayer" / "row_timelines" /
           (stem + ".txt");
}

class RowTimeline : public ::testing::TestWithParam<const char*> {};

TEST_P(RowTimeline, MatchesThePinnedTimeline) {
    const std::string name = GetParam();
    if (corpusDir().empty()) {
        GTEST_SKIP() << "no shared XM corpus (KORVANTHE_SHARED_DIR/xm-corpus): " << name
                     << " not checked";
    }
    useStandardFileCallbacks();
    ModulePtr song(createModule((corpusDir() / name).string().c_str()));
    ASSERT_NE(song, nullptr) << name << " was refused by the loader";
    const std::optional<Timeline> actual = renderTimeline(song.get());
    ASSERT_TRUE(actual.has_value()) << name << " did not end within 30 minutes";

    const std::filesystem::path path = expectedFile(name);
    if (std::getenv("KORVANTHE_WRITE_ROW_TIMELINES") != nullptr) {
        std::ofstream out(path, std::ios::binary);
        out << formatTimeline(name, *actual);
        ASSERT_TRUE(out.good()) << "cannot write " << path;
        GTEST_SKIP() << "wrote " << path;
    }
    std::ifstream in(path);
    ASSERT_TRUE(in.is_open()) << "no expected timeline " << path
                              << "; write it with KORVANTHE_WRITE_ROW_TIMELINES=1";
    const std::optional<Timeline> expected = parseTimeline(in);
    ASSERT_TRUE(expected.has_value()) << path << " is damaged";
    expectSameTimeline(*expected, *actual);
    if (HasFailure()) {
        std::printf("A deliberate timing change rewrites %s with "
                    "KORVANTHE_WRITE_ROW_TIMELINES=1 (see this test's header).\n",
                    path.string().c_str());
    }
}

TEST(RowTimelineForm, RunsOfEqualRowsReadBackRowByRow) {
    // Rows 0..2 of order 0 at 100 frames, a pattern delay on row 3, a break
    // into order 1 row 5, and a loop back to row 5.
    Timeline timeline;
    timeline.rows = {{0, 0, 0},   {0, 1, 100}, {0, 2, 200}, {0, 3, 300},
                     {1, 5, 600}, {1, 6, 700}, {1, 5, 800}, {1, 6, 900}};
    timeline.endFrame = 1000;
    timeline.endElapsedMs = 22;
    const std::string text = formatTimeline("form", timeline);
    EXPECT_NE(
        text.find("\n0 0 3 0 100\n0 3 1 300 300\n1 5 2 600 100\n1 5 2 800 100\nend 1000 22\n"),
        std::string::npos)
        << text;
    std::istringstream in(text);
    const std::optional<Timeline> back = parseTimeline(in);
    ASSERT_TRUE(back.has_value());
    ASSERT_EQ(back->rows.size(), timeline.rows.size());
    for (size_t i = 0; i < timeline.rows.size(); ++i) {
        EXPECT_EQ(back->rows[i].order, timeline.rows[i].order) << i;
        EXPECT_EQ(back->rows[i].row, timeline.rows[i].row) << i;
        EXPECT_EQ(back->rows[i].frame, timeline.rows[i].frame) << i;
    }
    EXPECT_EQ(back->endFrame, 1000);
    EXPECT_EQ(back->endElapsedMs, 22);
}

std::string testName(const ::testing::TestParamInfo<const char*>& info) {
    std::string name = std::filesystem::path(info.param).stem().string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            c = '_';
        }
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, RowTimeline, ::testing::ValuesIn(PinnedFiles), testName);

} // namespace
} // namespace korvanthe::testing
