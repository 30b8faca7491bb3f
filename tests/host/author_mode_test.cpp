// Author mode on the headless backend, over our own show: after a move to
// any song frame, backwards or forwards, the frame drawn is pixel for pixel
// the frame a run from the start draws at that song frame (at the start of
// every order entry, just before, at and after the blocks where entries
// fire: flashes, camera rushes, zoom blurs); and the files edited while it
// runs are taken in, or refused with the reader's warnings while the last
// good state stays. The refill runs on the test's thread, so the song frame
// heard is exactly the one asked for.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "audio/block_streaming.h"
#include "audio/output_settings.h"
#include "audio/player.h"
#include "host/author_mode.h"
#include "host/main_sequence.h"
#include "host/window.h"
#include "platform/headless/egl_window.h"
#include "platform/headless/headless_audio.h"
#include "platform/headless/virtual_clock.h"
#include "tests/support/process_id.h"
#include "timeline/effect_registry.h"
#include "timeline/script_table.h"

namespace korvanthe {
namespace {

namespace fs = std::filesystem;

constexpr int64_t BlockFrames = 884;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int EntryStep = 30; // a sanitizer's build draws many times slower
#else
constexpr int EntryStep = 8;
#endif

class AuthorMode : public ::testing::Test {
  protected:
    void SetUp() override {
        resetHeadlessWindowSystem();
        if (!openHeadlessContext()) {
            GTEST_SKIP() << "no offscreen OpenGL context";
        }
        closeHeadlessContext();
        show_ = fs::path(KORVANTHE_BINARY_DIR) / "bin";
        if (!fs::exists(show_ / "soundtrack.xm")) {
            GTEST_SKIP() << "the show's files are not built";
        }
        resetHeadlessWindowSystem();
        setHeadlessAudioPresent(true);
        setVirtualMilliseconds(1000);
        setStreamingByCaller(true);
    }
    void TearDown() override {
        setAuthorSettings({});
        setStreamingByCaller(false);
        takeHeadlessAudioPlayed();
        if (!copy_.empty()) {
            fs::remove_all(copy_);
        }
    }

    // Starts author mode on `folder`, the device at its first frame.
    void start(const fs::path& folder) {
        AuthorSettings settings;
        settings.enabled = true;
        settings.folder = folder;
        setAuthorSettings(settings);
        DataFileLookup lookup;
        lookup.folder = folder;
        int status = 0;
        ASSERT_TRUE(startMainSequence(status, {}, lookup));
        device_ = 0;
    }

    // The device plays on to its frame `frame`, the refill looking every
    // quarter block.
    void playTo(int64_t frame) {
        while (device_ < frame) {
            const int64_t step = std::min<int64_t>(frame - device_, BlockFrames / 4);
            ASSERT_TRUE(playHeadlessAudio(static_cast<uint32_t>(step)));
            refillStreaming();
            device_ += step;
        }
        takeHeadlessAudioPlayed();
    }

    std::vector<uint32_t> drawFrame() {
        EXPECT_TRUE(stepMainSequence());
        std::vector<uint32_t> pixels;
        readPixels(pixels);
        return pixels;
    }

    // A move while playing sounds once the device reaches the blocks
    // rendered anew: two blocks after the one it is taking (the headless
    // device takes what it plays).
    void moveTo(int64_t songFrame) {
        ASSERT_EQ(playerSeek(SongPosition::frame(songFrame)), PositionRefusal::None);
        playTo((device_ / BlockFrames + 2) * BlockFrames);
        ASSERT_EQ(playerHeardPosition().songFrame, songFrame);
    }

    // A copy of the show's files that a test may edit.
    fs::path copyShow() {
        copy_ = fs::temp_directory_path() / ("korvanthe-author-" + std::to_string(testing::processId()));
        fs::remove_all(copy_);
        fs::create_directories(copy_);
        for (const char* name : {"soundtrack.xm", "random.scp", "gridtile.tga", "picture0.raw",
                                 "picture1.raw", "picture2.raw", "korvanthe.raw", "tallstrip.raw",
                                 "random.raw"}) {
            fs::copy_file(show_ / name, copy_ / name);
        }
        return copy_;
    }

    fs::path show_;
    fs::path copy_;
    int64_t device_ = 0;
};

// Song frames worth a look: the first frame of every order entry, and around
// the blocks in which script entries fire.
std::vector<int64_t> chooseTargets(const SongMap& map) {
    std::set<int64_t> targets(map.orderEntries.begin(), map.orderEntries.end());
    std::map<std::pair<int, int>, int64_t> firstBlock;
    for (size_t block = 0; block < map.blockStamps.size(); ++block) {
        firstBlock.emplace(std::make_pair(map.blockStamps[block].order, map.blockStamps[block].row),
                           static_cast<int64_t>(block));
    }
    // Every EntryStep-th entry: flashes, rushes, zoom blurs and scrolls among them.
    for (int e = 0; e < scriptTable.count; e += EntryStep) {
        const ScriptEntry& entry = scriptTable.entries[e];
        const auto found = firstBlock.find({entry.order, entry.row});
        if (found == firstBlock.end()) {
            continue;
        }
        const int64_t fires = found->second * BlockFrames;
        // Just before, at, and 0.3 s into the block it fires in.
        for (const int64_t offset : {-1, 0, 13230}) {
            targets.insert(fires + offset);
        }
    }
    std::vector<int64_t> chosen;
    for (const int64_t target : targets) {
        if (target > 0 && target < map.endFrame) {
            chosen.push_back(target);
        }
    }
    return chosen;
}

TEST_F(AuthorMode, AFrameAfterAnyMoveIsTheFrameOfARunFromTheStart) {
    start(show_);
    ASSERT_NE(playerSongMap(), nullptr);
    const std::vector<int64_t> targets = chooseTargets(*playerSongMap());
    ASSERT_GE(targets.size(), 25u);
    std::printf("%zu song frames\n", targets.size());
    std::map<int64_t, std::vector<uint32_t>> uninterrupted;
    for (const int64_t target : targets) {
        playTo(target);
        ASSERT_EQ(playerHeardPosition().songFrame, target);
        uninterrupted[target] = drawFrame();
    }
    EXPECT_EQ(finishMainSequence(), ExitEnded);

    // A second run, moving: backwards through every other target, then by
    // turns from both ends (long jumps either way).
    start(show_);
    std::vector<int64_t> moves;
    for (size_t i = targets.size(); i-- > 0;) {
        if (i % 2 == 0) {
            moves.push_back(targets[i]);
        }
    }
    for (size_t low = 1, high = targets.size() - 1; low < high; low += 2, high -= 2) {
        moves.push_back(targets[low]);
        moves.push_back(targets[high]);
    }
    int different = 0;
    for (const int64_t target : moves) {
        moveTo(target);
        if (drawFrame() != uninterrupted[target]) {
            ADD_FAILURE() << "after a move to song frame " << target
                          << ", the frame differs from the run from the start";
            if (++different > 5) {
                break;
            }
        }
    }
    EXPECT_EQ(finishMainSequence(), ExitEnded);
}

// The effects' states as the timeline left them.
std::vector<std::pair<bool, int32_t>> effectStates() {
    std::vector<std::pair<bool, int32_t>> states;
    for (int i = 0; i < effectRegistry.count; ++i) {
        states.emplace_back(effectRegistry.effects[i]->active, effectRegistry.effects[i]->texture);
    }
    return states;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST_F(AuthorMode, EditedFilesAreTakenInAndBrokenOnesLeaveTheLastGoodState) {
    const fs::path folder = copyShow();
    start(folder);
    playTo(20 * 44100);
    const std::vector<uint32_t> before = drawFrame();
    const int64_t heard = playerHeardPosition().songFrame;
    // Looked at a few times a second of the clock's time.
    uint32_t clock = 1000;
    const auto nextLook = [&clock] {
        clock += 300;
        setVirtualMilliseconds(clock);
    };

    // A new script: only the scroll, started at the song's first row, with
    // picture 3. It takes effect at the position heard, with no restart.
    writeFile(folder / "random.scp", "0:0 scroll start 0 0 0\n0:0 scroll texture 3 0 0\n");
    nextLook();
    const std::vector<uint32_t> edited = drawFrame();
    EXPECT_NE(edited, before);
    EXPECT_EQ(effectStates(), (std::vector<std::pair<bool, int32_t>>{
                                  {false, 0}, {false, 0}, {false, 0}, {true, 3}}));
    EXPECT_GE(playerHeardPosition().songFrame, heard) << "the song went on where it was";

    // Broken files: each warns with the file (and line) and changes nothing.
    struct Broken {
        const char* file;
        std::string bytes;
        std::string warning;
    };
    const Broken broken[] = {
        {"random.scp", "0:0 scroll start 0 0\n",
         "random.scp:1: warning: expected three numbers after the command"},
        {"picture0.raw", std::string(1000, 'x'),
         "picture0.raw: a 512 x 256 raw picture is 393216 bytes; this file has 1000; the last "
         "good picture stays"},
        {"soundtrack.xm", "not a song at all", "soundtrack.xm: "},
    };
    const Module* song = loadedModule();
    for (const Broken& file : broken) {
        SCOPED_TRACE(file.file);
        writeFile(folder / file.file, file.bytes);
        nextLook();
        ::testing::internal::CaptureStderr();
        const std::vector<uint32_t> frame = drawFrame();
        const std::string warnings = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(warnings.find(file.warning), std::string::npos) << warnings;
        EXPECT_TRUE(frame == edited) << "heard " << playerHeardPosition().songFrame;
        EXPECT_EQ(loadedModule(), song);
    }
    EXPECT_EQ(effectStates(), (std::vector<std::pair<bool, int32_t>>{
                                  {false, 0}, {false, 0}, {false, 0}, {true, 3}}));

    // The song written anew (the same one): read again, at the row heard.
    fs::copy_file(show_ / "soundtrack.xm", folder / "soundtrack.xm",
                  fs::copy_options::overwrite_existing);
    const BlockStamp heardBefore = playerHeardPosition().stamp;
    nextLook();
    drawFrame();
    EXPECT_NE(loadedModule(), nullptr);
    device_ = 0; // the device starts a new loop for the new song
    playTo(BlockFrames * 2);
    const BlockStamp heardAfter = playerHeardPosition().stamp;
    EXPECT_EQ(heardAfter.order, heardBefore.order);
    EXPECT_EQ(heardAfter.row, heardBefore.row);
    EXPECT_EQ(finishMainSequence(), ExitEnded);
}

} // namespace
} // namespace korvanthe
