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

using testing::ScriptFile;

TEST(ScriptReader, ReadsEveryFieldInFileOrder) {
    ScriptFile file("12:32 flash resettimer 0 0 0\r\n"
                    "  -1: 7\ttext   param +5 -6 2147483647 255:0 scroll\nlayer 1 2 3");
    ASSERT_EQ(loadScript(file.path()), 3);
    const ScriptEntry& first = scriptTable.entries[0];
    EXPECT_EQ(first.order, 12);
    EXPECT_EQ(first.row, 32);
    EXPECT_STREQ(first.name, "flash");
    EXPECT_EQ(first.event.command, CommandResetTimer);
    EXPECT_FALSE(first.fired);
    const ScriptEntry& second = scriptTable.entries[1];
    EXPECT_EQ(second.order, -1);
    EXPECT_EQ(second.row, 7);
    EXPECT_STREQ(second.name, "text");
    EXPECT_EQ(second.event.command, CommandParam);
    EXPECT_EQ(second.event.p1, 5);
    EXPECT_EQ(second.event.p2, -6);
    EXPECT_EQ(second.event.p3, 2147483647);
    EXPECT_EQ(scriptTable.entries[2].order, 255);
    EXPECT_EQ(scriptTable.entries[2].event.command, CommandLayer);
    EXPECT_EQ(scriptTable.entries[2].event.p3, 3);
}

TEST(ScriptReader, CommandWordsAreExact) {
    const struct {
        const char* word;
        EffectCommand code;
    } cases[] = {
        {"resettimer", CommandResetTimer}, {"texture", CommandTexture}, {"param", CommandParam},
        {"layer", CommandLayer},           {"start", CommandStart},     {"stop", CommandStop},
        {"Start", CommandUnknown},         {"stop2", CommandUnknown},   {"", CommandUnknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(commandCode(c.word), c.code) << c.word;
    }
}

// Every odd file gives a usable timeline and at most one warning line that
// names the file and, where there is one, the line.
TEST(ScriptReader, OddFilesKeepWhatFitsWithOneWarning) {
    const std::string longWord(32, 'n'), longestWord(31, 'n');
    const struct {
        const char* what;
        std::string text;
        int entries;
        const char* warning; // after "<path>", nullptr for none
    } cases[] = {
        {"trailing whitespace", "0:0 a start 0 0 0\n\n  \n", 1, nullptr},
        {"no final line break", "0:0 a start 0 0 0\n0:1 a stop 0 0 0", 2, nullptr},
        {"empty", "", 0, ": warning: the script holds no entries"},
        {"only whitespace", " \n\t\n", 0, ": warning: the script holds no entries"},
        {"misfit line", "0:0 a start 0 0 0\n0:1 a stop 0 0 0\n# comment\n0:2 a start 0 0 0\n", 2,
         ":3: warning: expected the order number"},
        {"space before colon", "0:0 a start 0 0 0\n1 :2 a stop 0 0 0\n", 1,
         ":2: warning: expected ':' right after the order"},
        {"missing number", "0:0 a start 0 0\n", 0, ":1: warning: expected three numbers"},
        {"number too big", "0:0 a start 2147483648 0 0\n", 0,
         ":1: warning: expected three numbers"},
        {"long name", "0:0 " + longWord + " start 0 0 0\n0:1 " + longestWord + " stop 0 0 0\n", 1,
         ":1: warning: a name or command word longer than 31"},
        {"long command", "0:0 a start 0 0 0\n0:1 a " + longWord + " 0 0 0\n0:2 a stop 0 0 0\n", 2,
         ":2: warning: a name or command word longer than 31"},
    };
    for (const auto& c : cases) {
        ScriptFile file(c.text);
        ::testing::internal::CaptureStderr();
        int count = loadScript(file.path());
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(count, c.entries) << c.what;
        EXPECT_EQ(scriptTable.count, c.entries) << c.what;
        std::string expected = c.warning ? std::string(file.path()) + c.warning : "";
        EXPECT_EQ(err.substr(0, expected.size()), expected) << c.what;
        EXPECT_LE(std::count(err.begin(), err.end(), '\n'), 1) << c.what;
    }
    EXPECT_STREQ(scriptTable.entries[1].name, "a"); // the long command's neighbours stay
    EXPECT_EQ(scriptTable.entries[1].event.command, CommandStop);
}

TEST(ScriptReader, AMissingFileGivesAnEmptyTimeline) {
    ScriptFile file("0:0 a start 0 0 0\n");
    loadScript(file.path());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadScript("/nonexistent/random.scp"), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "/nonexistent/random.scp: warning: cannot open the script; the timeline is empty\n");
    EXPECT_EQ(scriptTable.count, 0);
}

TEST(ScriptReader, StoresAtMost260Entries) {
    std::string text;
    for (int i = 0; i < 262; i++) {
        text += std::to_string(i / 64) + ":" + std::to_string(i % 64) + " a param 0 0 0\n";
    }
    ScriptFile file(text);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadScript(file.path()), 260);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              std::string(file.path()) +
                  ":261: warning: more than 260 entries; this one and the rest are ignored\n");
    EXPECT_EQ(scriptTable.entries[259].order, 4);
    EXPECT_EQ(scriptTable.entries[259].row, 3);
}

} // namespace
} // namespace korvanthe
