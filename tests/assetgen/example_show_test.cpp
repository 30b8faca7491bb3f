// The example show (korvanthe-assetgen --example) and the check a folder of
// one's own gets before it is published (host/show_folder.h): the example
// passes it, is short, ends in silence, and every entry of its script falls
// on a position the player reports; a folder with a broken file is refused
// in one line naming the file and the reason.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "audio/offline_render.h"
#include "host/show_folder.h"
#include "tests/support/memory_file.h"
#include "tests/support/process_id.h"
#include "tools/assetgen/example_show.h"
#include "tools/assetgen/pictures.h"

namespace korvanthe {
namespace {

namespace fs = std::filesystem;

void writeBytes(const fs::path& path, const void* data, size_t size) {
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    EXPECT_EQ(std::fwrite(data, 1, size, file), size);
    std::fclose(file);
}

void writeText(const fs::path& path, const std::string& text) {
    writeBytes(path, text.data(), text.size());
}

class ExampleShow : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::path(::testing::TempDir()) /
                  ("korvanthe-example-" + std::to_string(testing::processId()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        const std::vector<uint8_t> song = writeXm(assetgen::makeExampleSong());
        writeBytes(folder_ / "soundtrack.xm", song.data(), song.size());
        writeText(folder_ / "random.scp", assetgen::formatScript(assetgen::makeExampleTimeline()));
        for (const assetgen::PictureFile& picture : assetgen::makePictures()) {
            writeBytes(folder_ / picture.fileName, picture.bytes.data(), picture.bytes.size());
        }
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string file(const char* name) const { return (folder_ / name).string(); }

    fs::path folder_;
};

TEST_F(ExampleShow, PassesTheCheck) {
    EXPECT_EQ(showFolderProblem(folder_), "");
}

TEST_F(ExampleShow, IsShortEndsInSilenceAndEveryEntryFallsOnAReportedPosition) {
    testing::ModulePtr song = testing::loadModuleFromBytes(writeXm(assetgen::makeExampleSong()));
    ASSERT_TRUE(song);
    const SongLength length = measureSongLength(song.get(), 44100, 1);
    EXPECT_TRUE(length.ended);
    EXPECT_GT(length.frames, 20 * 44100);
    EXPECT_LT(length.frames, 60 * 44100);
    ASSERT_TRUE(startOfflineRender(song.get(), 44100, true));
    std::set<std::pair<int, int>> positions;
    OfflineBlock block;
    while (renderOfflineBlock(&block)) {
        positions.insert({block.stamp.order, block.stamp.row});
    }
    stopOfflineRender();
    std::set<std::string> commands;
    for (const assetgen::ScriptLine& line : assetgen::makeExampleTimeline()) {
        EXPECT_TRUE(positions.count({line.order, line.row}))
            << line.order << ":" << line.row << " " << line.effect << " " << line.command;
        commands.insert(line.command);
    }
    // An example of every command there is.
    EXPECT_EQ(commands, (std::set<std::string>{"layer", "resettimer", "start", "stop", "param",
                                               "texture"}));
}

TEST_F(ExampleShow, ABrokenFileIsNamedWithTheReason) {
    // Each broken in turn, the others good; the song is looked at first.
    writeText(folder_ / "soundtrack.xm", "not a song");
    EXPECT_EQ(showFolderProblem(folder_),
              file("soundtrack.xm") + ": not an XM file (no \"Extended Module: \" ID)");
    SetUp();
    writeText(folder_ / "random.scp", "0:0 flash start 0 0 0\n0:0 flash stop 0 0\n");
    EXPECT_EQ(showFolderProblem(folder_).rfind(file("random.scp") + ":2: expected", 0), 0u)
        << showFolderProblem(folder_);
    SetUp();
    writeText(folder_ / "picture1.raw", std::string(1000, '\0'));
    EXPECT_EQ(showFolderProblem(folder_),
              file("picture1.raw") + ": a 512 x 256 raw picture is 393216 bytes; this file has 1000");
    SetUp();
    fs::remove(folder_ / "gridtile.tga");
    EXPECT_EQ(showFolderProblem(folder_).rfind(file("gridtile.tga") + ": ", 0), 0u)
        << showFolderProblem(folder_);
    EXPECT_EQ(showFolderProblem(folder_ / "nothing"), (folder_ / "nothing").string() + ": no such folder");
}

} // namespace
} // namespace korvanthe
