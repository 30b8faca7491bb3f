// Timeline bookkeeping: which entries reach which effects, when, and after
// which generic action. No drawing here.
#include "timeline/timeline_update.h"

#include <gtest/gtest.h>

#include "platform/headless/virtual_clock.h"
#include "tests/timeline/timeline_fixture.h"
#include "timeline/effect_registry.h"
#include "timeline/script_reader.h"
#include "timeline/script_table.h"

namespace korvanthe {
namespace {

using Log = std::vector<std::string>;

class TimelineUpdate : public ::testing::Test {
  protected:
    void SetUp() override {
        clearEffectRegistry();
        registerEffect(a, "a");
        registerEffect(b, "b");
    }
    void load(const std::string& text) { loadScript(testing::ScriptFile(text).path.c_str()); }
    Log log;
    testing::RecordingEffect a{log}, b{log};
};

TEST_F(TimelineUpdate, EntriesFireOnceInFileOrderOnlyAtTheirExactPosition) {
    load("1:2 a param 1 0 0\n1:2 b param 2 0 0\n0:2 a param 3 0 0\n1:2 a param 4 0 0\n");
    deliverScriptEntries(2, 1); // order and row swapped
    deliverScriptEntries(1, 3);
    EXPECT_TRUE(log.empty());
    deliverScriptEntries(1, 2);
    deliverScriptEntries(1, 2); // the song comes back: nothing twice
    EXPECT_EQ(log, (Log{"a 2 1 off", "b 2 2 off", "a 2 4 off"}));
    EXPECT_FALSE(scriptTable.entries[2].fired);
    deliverScriptEntries(0, 2);
    EXPECT_EQ(log, (Log{"a 2 1 off", "b 2 2 off", "a 2 4 off", "a 2 3 off"}));
}

TEST_F(TimelineUpdate, GenericActionsComeFirstAndLinesKeepTheirOrder) {
    load("0:0 a start 0 0 0\n0:0 a stop 0 0 0\n"    // start then stop: off
         "0:0 b stop 0 0 0\n0:0 b start 0 0 0\n"    // stop then start: on
         "0:0 b layer 40 0 0\n0:0 a wobble 7 0 0\n" // unknown word: code -1, still delivered
         "0:0 nobody start 0 0 0\n0:0 A start 0 0 0\n");
    deliverScriptEntries(0, 0); // entries at 0:0 fire on the very first call
    EXPECT_FALSE(a.active);
    EXPECT_TRUE(b.active);
    EXPECT_EQ(b.layer, 40);
    EXPECT_EQ(log,
              (Log{"a 4 0 on", "a 5 0 off", "b 5 0 off", "b 4 0 on", "b 3 40 on", "a -1 7 off"}));
    for (int i = 0; i < scriptTable.count; i++) {
        EXPECT_TRUE(scriptTable.entries[i].fired) << i; // unknown names too
    }
}

TEST_F(TimelineUpdate, ResetTimerStoresTheClockForEveryEffectOfTheName) {
    testing::RecordingEffect twin{log};
    registerEffect(twin, "b");
    load("0:1 b resettimer 0 0 0\n0:2 b resettimer 0 0 0\n");
    setVirtualMilliseconds(5000);
    deliverScriptEntries(0, 1);
    EXPECT_EQ(effectRegistry.effectStartTime[0], 0u);
    EXPECT_EQ(effectRegistry.effectStartTime[1], 5000u);
    EXPECT_EQ(effectRegistry.effectStartTime[2], 5000u);
    setVirtualMilliseconds(7250);
    deliverScriptEntries(0, 2);
    EXPECT_EQ(effectRegistry.effectStartTime[1], 7250u);
    EXPECT_EQ(log.size(), 4u);
}

TEST(EffectRegistry, RegistrationNamesDeactivatesAndRefusesAThirtyThird) {
    clearEffectRegistry();
    Log log;
    std::vector<testing::RecordingEffect> effects(33, testing::RecordingEffect{log});
    effects[0].active = true;
    EXPECT_TRUE(registerEffect(effects[0], "a_name_of_more_than_thirty_one_characters"));
    EXPECT_STREQ(effects[0].name, "a_name_of_more_than_thirty_one_");
    EXPECT_FALSE(effects[0].active);
    for (int i = 1; i < 32; i++) {
        EXPECT_TRUE(registerEffect(effects[i], "x"));
    }
    EXPECT_FALSE(registerEffect(effects[32], "x"));
    resetAllEffects();
    EXPECT_EQ(effects[31].resets, 1);
    EXPECT_EQ(effects[32].resets, 0);
}

} // namespace
} // namespace korvanthe
