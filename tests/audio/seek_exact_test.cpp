// After a move to any frame of a song, what sounds is the uninterrupted
// render from that frame on, to the bit: over our soundtrack and every file of
// the corpus, at the first row of every order, at every order entry (the rows
// right after a jump, a break or the next order), in and after pattern loops
// and pattern delays, and at times in the middle of a tick; on every mixer
// path this CPU has. Skips the corpus where it is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "audio/offline_render.h"
#include "audio/output_settings.h"
#include "audio/song_end_watch.h"
#include "module/file_callbacks.h"
#include "module/xm_loader.h"
#include "tests/support/memory_file.h"
#include "tests/support/mixer_paths.h"
#include "tests/support/test_paths.h"

namespace korvanthe::testing {
namespace {

namespace fs = std::filesystem;

constexpr int32_t Rate = 44100;
// Songs without an end (a loop that never ends) are compared this far on.
constexpr int64_t EndlessCompareFrames = int64_t{Rate} * 20;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// A sanitizer's build runs many times slower: fewer targets, the same checks.
constexpr size_t MostTargets = 4;
#else
constexpr size_t MostTargets = 32;
#endif

std::vector<fs::path> songFiles() {
    std::vector<fs::path> files;
    const fs::path soundtrack = fs::path(KORVANTHE_BINARY_DIR) / "bin" / "soundtrack.xm";
    if (fs::exists(soundtrack)) {
        files.push_back(soundtrack);
    }
    const fs::path corpus = corpusDir();
    if (!corpus.empty()) {
        for (const char* folder : {"songs", "behaviour", "openmpt"}) {
            std::vector<fs::path> found;
            for (const auto& entry : fs::directory_iterator(corpus / folder)) {
                if (entry.path().extension() == ".xm") {
                    found.push_back(entry.path());
                }
            }
            std::sort(found.begin(), found.end());
            files.insert(files.end(), found.begin(), found.end());
        }
    }
    return files;
}

// The frames worth moving to, from the song's map and its patterns.
std::vector<int64_t> chooseTargets(const SongMap& map, const Module& song) {
    std::set<int64_t> frames;
    const auto rowFrame = [&](int32_t order, int32_t row) -> int64_t {
        return row < SongEndRows ? map.rowFrames[static_cast<size_t>(order) * SongEndRows + row] : -1;
    };
    for (int32_t order = 0; order < song.songLength; ++order) {
        frames.insert(rowFrame(order, 0));
        const int32_t pattern = song.orderTable[order];
        if (pattern >= song.patternSlotCount || song.patterns[pattern].cells == nullptr) {
            continue;
        }
        const Pattern& cells = song.patterns[pattern];
        for (int32_t row = 0; row < cells.rowCount; ++row) {
            for (int32_t channel = 0; channel < song.channelCount; ++channel) {
                const PatternCell& cell = cells.cells[row * song.channelCount + channel];
                const int command = cell.parameter >> 4;
                if (cell.effect == 0xE && (command == 0x6 || command == 0xE)) {
                    // A loop's or a delay's own row, the row before it (inside
                    // the loop) and the row after it.
                    for (int32_t near = row - 1; near <= row + 1; ++near) {
                        if (near >= 0) {
                            frames.insert(rowFrame(order, near));
                        }
                    }
                }
            }
        }
    }
    frames.insert(map.orderEntries.begin(), map.orderEntries.end());
    // Mid-tick and mid-block times, and a block's first frame.
    for (int64_t part = 1; part <= 5; ++part) {
        frames.insert(map.endFrame * part / 6 + 131);
    }
    frames.insert(884 * 5);
    std::vector<int64_t> chosen;
    for (const int64_t frame : frames) {
        if (frame >= 0 && frame < map.endFrame) {
            chosen.push_back(frame);
        }
    }
    if (chosen.size() > MostTargets) {
        std::vector<int64_t> spread;
        for (size_t i = 0; i < MostTargets; ++i) {
            spread.push_back(chosen[i * chosen.size() / MostTargets]);
        }
        chosen.swap(spread);
    }
    return chosen;
}

// The uninterrupted render, up to `limit` frames.
std::vector<int16_t> wholeRender(Module* song, int64_t limit) {
    std::vector<int16_t> pcm;
    EXPECT_TRUE(startOfflineRender(song, Rate, true));
    OfflineBlock block{};
    while (static_cast<int64_t>(pcm.size() / 2) < limit && renderOfflineBlock(&block)) {
        pcm.insert(pcm.end(), block.pcm, block.pcm + 2 * block.frames);
    }
    stopOfflineRender();
    pcm.resize(std::min<size_t>(pcm.size(), static_cast<size_t>(limit) * 2));
    return pcm;
}

// Renders from `target` and compares with the whole render from there;
// gives the first frame that differs (counted from the song's start), -1
// when none does.
int64_t firstDifference(Module* song, const std::vector<int16_t>& whole, int64_t target,
                        int64_t end) {
    bool started = false;
    const PositionRefusal refusal = startOfflineRenderBetween(
        song, Rate, 1, SongPosition::frame(target), nullptr, true, &started);
    EXPECT_EQ(refusal, PositionRefusal::None);
    EXPECT_TRUE(started);
    int64_t frame = target;
    OfflineBlock block{};
    int64_t difference = -1;
    while (difference < 0 && frame < end && renderOfflineBlock(&block)) {
        EXPECT_EQ(block.firstFrame, frame);
        for (int32_t i = 0; i < block.frames && frame < end; ++i, ++frame) {
            const size_t at = static_cast<size_t>(frame) * 2;
            if (block.pcm[2 * i] != whole[at] || block.pcm[2 * i + 1] != whole[at + 1]) {
                difference = frame;
                break;
            }
        }
    }
    stopOfflineRender();
    if (difference < 0 && frame < end) {
        difference = frame; // ended early
    }
    return difference;
}

class SeekExact : public OnEveryMixerPath {};

TEST_P(SeekExact, EveryTargetSoundsAsTheWholeRenderFromThere) {
    const std::vector<fs::path> files = songFiles();
    if (files.empty()) {
        GTEST_SKIP() << "neither the built soundtrack nor the corpus is here";
    }
    useStandardFileCallbacks();
    int32_t songs = 0;
    int32_t targets = 0;
    for (const fs::path& file : files) {
        ModulePtr song(createModule(file.string().c_str()));
        if (song == nullptr) {
            continue;
        }
        bool started = false;
        // The map: the song's end, its rows and order entries.
        startOfflineRenderBetween(song.get(), Rate, 1, SongPosition{}, nullptr, true, &started);
        ASSERT_TRUE(started) << file;
        const SongMap map = offlineSongMap();
        stopOfflineRender();
        const int64_t limit = map.ended ? map.endFrame : EndlessCompareFrames * 2;
        const std::vector<int16_t> whole = wholeRender(song.get(), limit);
        ASSERT_EQ(static_cast<int64_t>(whole.size() / 2), limit) << file;
        for (const int64_t target : chooseTargets(map, *song)) {
            if (target >= limit) {
                continue;
            }
            const int64_t end = map.ended ? limit : std::min(limit, target + EndlessCompareFrames);
            const int64_t difference = firstDifference(song.get(), whole, target, end);
            EXPECT_LT(difference, 0) << file.filename().string() << ": after a move to frame "
                                     << target << ", frame " << difference
                                     << " differs from the whole render";
            ++targets;
        }
        ++songs;
    }
    std::printf("%d songs, %d targets\n", songs, targets);
}

KORVANTHE_ON_EVERY_MIXER_PATH(SeekExact);

// The first of the songs (the soundtrack where it is built), loaded; null
// when there is none.
ModulePtr firstSong() {
    const std::vector<fs::path> files = songFiles();
    if (files.empty()) {
        return nullptr;
    }
    useStandardFileCallbacks();
    ModulePtr song(createModule(files.front().string().c_str()));
    EXPECT_NE(song, nullptr) << files.front();
    return song;
}

// Into a buffer of the caller's, a render gives what it gives in the ring:
// the same frames, first frames, counts and stamps, for a stretch that starts
// and ends inside song blocks and for the song to its end.
TEST(RenderIntoABuffer, GivesWhatTheRingGives) {
    ModulePtr song = firstSong();
    if (song == nullptr) {
        GTEST_SKIP() << "neither the built soundtrack nor the corpus is here";
    }
    struct Rendered {
        std::vector<int16_t> pcm;
        std::vector<int64_t> firstFrames;
        std::vector<BlockStamp> stamps;
    };
    const auto render = [&](const SongPosition& from, const SongPosition* to, bool intoBuffer) {
        Rendered rendered;
        bool started = false;
        startOfflineRenderBetween(song.get(), Rate, 1, from, to, true, &started);
        EXPECT_TRUE(started);
        std::vector<int16_t> room(static_cast<size_t>(outputSettings.blockFrames) * 2);
        OfflineBlock block{};
        while (intoBuffer ? renderOfflineBlockInto(room.data(), &block)
                          : renderOfflineBlock(&block)) {
            rendered.pcm.insert(rendered.pcm.end(), block.pcm, block.pcm + 2 * block.frames);
            rendered.firstFrames.push_back(block.firstFrame);
            rendered.stamps.push_back(block.stamp);
        }
        stopOfflineRender();
        return rendered;
    };
    const SongPosition to = SongPosition::frame(Rate * 9 + 17);
    for (const SongPosition& from : {SongPosition::frame(Rate * 3 + 101), SongPosition{}}) {
        const bool toEnd = from.kind == SongPosition::Kind::OrderRow;
        const Rendered ring = render(from, toEnd ? nullptr : &to, false);
        const Rendered buffer = render(from, toEnd ? nullptr : &to, true);
        ASSERT_FALSE(ring.pcm.empty());
        EXPECT_TRUE(ring.pcm == buffer.pcm) << (toEnd ? "to the end" : "a stretch");
        EXPECT_EQ(ring.firstFrames, buffer.firstFrames);
        ASSERT_EQ(ring.stamps.size(), buffer.stamps.size());
        for (size_t i = 0; i < ring.stamps.size(); ++i) {
            EXPECT_EQ(ring.stamps[i].order, buffer.stamps[i].order) << "block " << i;
            EXPECT_EQ(ring.stamps[i].row, buffer.stamps[i].row) << "block " << i;
            EXPECT_EQ(ring.stamps[i].elapsedMs, buffer.stamps[i].elapsedMs) << "block " << i;
        }
    }
}

// From the start on without an end (render --seconds), nothing needs the
// song's map, so none is made; the render is the uninterrupted one all the
// same, past the song's end too, where it loops.
TEST(RenderWithoutEnd, NeedsNoMapAndSoundsAsTheWholeRender) {
    ModulePtr song = firstSong();
    if (song == nullptr) {
        GTEST_SKIP() << "neither the built soundtrack nor the corpus is here";
    }
    const SongLength length = measureSongLength(song.get(), Rate, 1);
    ASSERT_TRUE(length.ended);
    // Into the second time through, where the song has looped.
    const int64_t frames = length.frames + Rate * 2;
    std::vector<int16_t> whole;
    ASSERT_TRUE(startOfflineRender(song.get(), Rate, false));
    OfflineBlock block{};
    while (static_cast<int64_t>(whole.size() / 2) < frames && renderOfflineBlock(&block)) {
        whole.insert(whole.end(), block.pcm, block.pcm + 2 * block.frames);
    }
    stopOfflineRender();

    bool started = false;
    EXPECT_EQ(startOfflineRenderBetween(song.get(), Rate, 1, SongPosition{}, nullptr, false,
                                        &started),
              PositionRefusal::None);
    ASSERT_TRUE(started);
    EXPECT_EQ(offlineSongMap().module, nullptr);
    EXPECT_EQ(offlineStretch().firstFrame, 0);
    EXPECT_EQ(offlineStretch().endFrame, -1);
    int64_t frame = 0;
    while (frame < frames && renderOfflineBlock(&block)) {
        ASSERT_EQ(block.firstFrame, frame);
        for (int32_t i = 0; i < block.frames && frame < frames; ++i, ++frame) {
            const size_t at = static_cast<size_t>(frame) * 2;
            ASSERT_TRUE(block.pcm[2 * i] == whole[at] && block.pcm[2 * i + 1] == whole[at + 1])
                << "frame " << frame << " differs from the whole render";
        }
    }
    stopOfflineRender();
    EXPECT_EQ(frame, frames);
}

} // namespace
} // namespace korvanthe::testing
