// Reading the timeline script: the fields, and the reaction to every kind of
// bad or odd file.
#include "timeline/script_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/timeline/timeline_fixture.h"
#include "timeline/script_table.h"

namespace korvanthe {
namespace {

TEST(ScriptReader, ReadsEveryFieldAndCommandWord) {
    testing::ScriptFile file("12:32 flash resettimer 0 0 0\r\n"
                             "  -1: 7\ttext   texture +5 -6 2147483647 255:0 scroll\nparam 1 2 3\n"
                             "0:0 a layer 0 0 0\n0:0 a start 0 0 0 0:0 a stop 0 0 0\n"
                             "0:0 a Start 0 0 0\n0:0 a stop2 0 0 0\n");
    ASSERT_EQ(loadScript(file.path.c_str()), 8);
    const ScriptEntry& second = scriptTable.entries[1];
    EXPECT_EQ(scriptTable.entries[0].order, 12);
    EXPECT_EQ(scriptTable.entries[0].row, 32);
    EXPECT_STREQ(scriptTable.entries[0].name, "flash");
    EXPECT_EQ(second.order, -1);
    EXPECT_EQ(second.row, 7);
    EXPECT_STREQ(second.name, "text");
    EXPECT_EQ(second.event.p1, 5);
    EXPECT_EQ(second.event.p2, -6);
    EXPECT_EQ(second.event.p3, 2147483647);
    EXPECT_FALSE(second.fired);
    const EffectCommand codes[] = {CommandResetTimer, CommandTexture, CommandParam,
                                   CommandLayer,      CommandStart,   CommandStop,
                                   CommandUnknown,    CommandUnknown}; // case and length count
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(scriptTable.entries[i].event.command, codes[i]) << i;
    }
}

// Every odd file gives a usable timeline and at most one warning line, naming
// the file and, where there is one, the line.
TEST(ScriptReader, OddFilesKeepWhatFitsWithOneWarning) {
    const std::string longWord(32, 'n'), longestWord(31, 'n');
    std::string many;
    for (int i = 0; i < 262; i++) {
        many += std::to_string(i / 64) + ":" + std::to_string(i % 64) + " a param 0 0 0\n";
    }
    const struct {
        const char* what;
        std::string text;
        int entries;
        const char* warning; // after the path; nullptr for none
    } cases[] = {
        {"trailing whitespace", "0:0 a start 0 0 0\n\n  \n", 1, nullptr},
        {"no final line break", "0:0 a start 0 0 0\n0:1 a stop 0 0 0", 2, nullptr},
        {"empty", "", 0, ": warning: the script holds no entries"},
        {"only whitespace", " \n\t\n", 0, ": warning: the script holds no entries"},
        {"misfit line", "0:0 a start 0 0 0\n0:1 a stop 0 0 0\n# note\n0:2 a start 0 0 0\n", 2,
         ":3: warning: expected the order number"},
        {"space before colon", "0:0 a start 0 0 0\n1 :2 a stop 0 0 0\n", 1,
         ":2: warning: expected ':' right after the order"},
        {"cut short", "0:0 a start 0 0\n", 0, ":1: warning: expected three numbers"},
        {"number too big", "0:0 a start 2147483648 0 0\n", 0, ":1: warning: expected three"},
        {"long name", "0:0 " + longWord + " start 0 0 0\n0:1 " + longestWord + " stop 0 0 0\n", 1,
         ":1: warning: a name or command word longer than 31"},
        {"long command", "0:0 a start 0 0 0\n0:1 a " + longWord + " 0 0 0\n0:2 a stop 0 0 0\n", 2,
         ":2: warning: a name or command word longer than 31"},
        {"261 entries", many, 260, ":261: warning: more than 260 entries"},
    };
    for (const auto& c : cases) {
        testing::ScriptFile file(c.text);
        ::testing::internal::CaptureStderr();
        int count = loadScript(file.path.c_str());
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(count, c.entries) << c.what;
        EXPECT_EQ(scriptTable.count, c.entries) << c.what;
        std::string expected = c.warning ? file.path + c.warning : "";
        EXPECT_EQ(err.substr(0, expected.size()), expected) << c.what;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), c.warning ? 1 : 0) << c.what;
    }
    EXPECT_EQ(scriptTable.entries[259].order, 4); // the first 260 are kept
    EXPECT_EQ(scriptTable.entries[259].row, 3);
}

TEST(ScriptReader, AMissingFileGivesAnEmptyTimeline) {
    loadScript(testing::ScriptFile("0:0 a start 0 0 0\n").path.c_str());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadScript("/nonexistent/random.scp"), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "/nonexistent/random.scp: warning: cannot open the script; the timeline is empty\n");
    EXPECT_EQ(scriptTable.count, 0);
}

} // namespace
} // namespace korvanthe
