// `korvanthe-xm render --start ORDER:ROW` on real songs (the corpus's songs
// and the behaviour files with loops, jumps, breaks and delays): the tail it
// writes is the whole render's from the row's first frame, to the byte. The
// row's first frame is found independently of the tool: by rendering the song
// offline with a row observer that notes the frame of each row's first tick
// (tests/support/row_timeline.h), the first time the song reaches the row.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "tests/support/memory_file.h"
#include "tests/support/row_timeline.h"
#include "tests/support/test_paths.h"
#include "tests/xm/xm_tool.h"

namespace korvanthe::xmtool {
namespace {

constexpr int32_t Rate = 44100;
constexpr size_t RowsPerSong = 6;

class RenderStartCorpus : public ToolTest {};

TEST_F(RenderStartCorpus, EveryStartIsTheWholeRendersTailFromThatRow) {
    const fs::path corpus = testing::corpusDir();
    if (corpus.empty()) {
        GTEST_SKIP() << "the corpus is not here";
    }
    const char* songs[] = {
        "songs/roadblas.xm",
        "behaviour/pattern_loop_mpt.xm",
        "behaviour/pattern_loop_mpt_breakjump.xm",
        "behaviour/pattern_jump_ft2_break.xm",
        "behaviour/set_position_mid_pattdelay.xm",
        "behaviour/lxx_after_loop.xm",
    };
    int checked = 0;
    for (const char* name : songs) {
        const fs::path song = corpus / name;
        useStandardFileCallbacks();
        testing::ModulePtr module(createModule(song.string().c_str()));
        ASSERT_NE(module, nullptr) << name;
        const auto end = testing::renderToSongEnd(module.get(), Rate, int64_t{Rate} * 600);
        ASSERT_TRUE(end && end->ended) << name;
        std::vector<testing::RowStart> rows;
        ASSERT_TRUE(testing::recordRowStarts(module.get(), Rate, end->frame, rows));
        // The first start of each row, a few spread over the song (the song's
        // first row left out: that is the whole render).
        std::vector<testing::RowStart> firsts;
        std::set<std::pair<int32_t, int32_t>> seen;
        for (const testing::RowStart& row : rows) {
            if (seen.insert({row.order, row.row}).second && row.frame > 0) {
                firsts.push_back(row);
            }
        }
        ASSERT_FALSE(firsts.empty()) << name;
        const WavFile whole = [&] {
            const ToolRun run =
                runTool(dir_, "render " + quoted(song) + " -o " + quoted(dir_ / "whole.wav"));
            EXPECT_EQ(run.exitCode, 0) << run.err;
            return readWav(dir_ / "whole.wav");
        }();
        ASSERT_EQ(whole.frames(), static_cast<size_t>(end->frame)) << name;
        for (size_t i = 0; i < RowsPerSong; ++i) {
            const testing::RowStart& row = firsts[i * firsts.size() / RowsPerSong];
            const std::string start = std::to_string(row.order) + ":" + std::to_string(row.row);
            const ToolRun run = runTool(dir_, "render " + quoted(song) + " --start " + start +
                                                  " -o " + quoted(dir_ / "tail.wav"));
            ASSERT_EQ(run.exitCode, 0) << name << " --start " << start << ": " << run.err;
            const WavFile tail = readWav(dir_ / "tail.wav");
            const size_t first = static_cast<size_t>(row.frame);
            ASSERT_EQ(tail.frames(), whole.frames() - first) << name << " --start " << start;
            EXPECT_TRUE(std::equal(tail.pcm.begin(), tail.pcm.end(),
                                   whole.pcm.begin() + static_cast<std::ptrdiff_t>(first * 4)))
                << name << " --start " << start << " (from frame " << first << ")";
            ++checked;
        }
    }
    EXPECT_GE(checked, 30);
}

} // namespace
} // namespace korvanthe::xmtool
