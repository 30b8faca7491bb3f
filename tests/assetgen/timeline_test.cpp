// The generated timeline: our reader takes every line, and every entry lands
// on a position that the player really reports, so none is lost.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include <unistd.h>

#include "tests/assetgen/soundtrack_render.h"
#include "timeline/script_reader.h"
#include "timeline/script_table.h"
#include "tools/assetgen/timeline_script.h"

namespace korvanthe {
namespace {

using assetgen::ScriptLine;

TEST(Timeline, OurReaderTakesEveryLine) {
    std::vector<ScriptLine> lines = assetgen::makeTimeline();
    // A name of this process's own: tests run in parallel processes.
    std::filesystem::path path = std::filesystem::path(::testing::TempDir()) /
                                 ("korvanthe-assetgen-" + std::to_string(getpid()) + ".scp");
    std::string text = assetgen::formatScript(lines);
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);

    int count = loadScript(path.string().c_str());
    std::filesystem::remove(path);
    ASSERT_EQ(count, static_cast<int>(lines.size()));
    EXPECT_LE(lines.size(), static_cast<size_t>(MaxScriptEntries));
    std::set<std::string> names;
    std::set<int> commands;
    for (int i = 0; i < scriptTable.count; ++i) {
        const ScriptEntry& entry = scriptTable.entries[i];
        EXPECT_EQ(entry.order, lines[i].order);
        EXPECT_EQ(entry.row, lines[i].row);
        EXPECT_NE(entry.event.command, CommandUnknown) << lines[i].command;
        names.insert(entry.name);
        commands.insert(entry.event.command);
    }
    EXPECT_EQ(names, (std::set<std::string>{"random", "flash", "text", "scroll"}));
    EXPECT_EQ(commands.size(), 6u);
}

TEST(Timeline, EveryEntryFallsOnAReportedPosition) {
    const testing::SoundtrackRender& render = testing::soundtrackRender();
    ASSERT_FALSE(render.positions.empty());
    for (const ScriptLine& line : assetgen::makeTimeline()) {
        EXPECT_TRUE(render.positions.count({line.order, line.row}))
            << line.order << ":" << line.row << " " << line.effect << " " << line.command;
    }
}

TEST(Timeline, PicturesStayWithinTheFilledSlots) {
    // The text shows slot SlotIntro + its count of "param" events; the demo
    // fills slots up to SlotGreetings, which the text reaches last, and the
    // scroll's textures stay within them too.
    int textSteps = 0;
    for (const ScriptLine& line : assetgen::makeTimeline()) {
        if (line.effect == "text" && line.command == "param") {
            ++textSteps;
        }
        if (line.effect == "scroll" && line.command == "texture") {
            EXPECT_GE(line.p1, assetgen::SlotGridTile);
            EXPECT_LE(line.p1, assetgen::SlotGreetings);
        }
    }
    EXPECT_EQ(textSteps, assetgen::SlotGreetings - assetgen::SlotIntro);
}

} // namespace
} // namespace korvanthe
